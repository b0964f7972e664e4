#include "framework/Archive.h"
#include "framework/AnsiText.h"
#include "framework/Text.h"

#include <algorithm>
#include <cstring>

const char* CArchiveException::what() const noexcept
{
    switch (m_cause) {
    case endOfFile: return "unexpected end of archive";
    case badClass: return "unknown or malformed class";
    case badIndex: return "bad object or class index";
    case badString: return "malformed string";
    default: return "archive error";
    }
}

namespace {
const uint16_t kNewClassTag = 0xFFFF;
const uint16_t kClassTag = 0x8000;
const uint16_t kBigObjectTag = 0x7FFF;
const uint32_t kBigClassTag = 0x80000000;
} // namespace

CArchive::CArchive(CFile& file, Mode mode) : m_file(file), m_mode(mode)
{
    m_loadMap.push_back({false, 0}); // index 0: the null object
}

void CArchive::Close()
{
    if (IsStoring())
        Flush();
}

void CArchive::Flush()
{
    m_file.Write(m_buffer, m_nPos);
    m_nPos = 0;
}

void CArchive::FillBuffer()
{
    m_nPos = 0;
    m_nEnd = m_file.Read(m_buffer, kBufferSize);
    if (m_nEnd == 0)
        throw CArchiveException(CArchiveException::endOfFile);
}

bool CArchive::AtEnd()
{
    if (m_nPos < m_nEnd)
        return false;
    m_nPos = 0;
    m_nEnd = m_file.Read(m_buffer, kBufferSize);
    return m_nEnd == 0;
}

void CArchive::WriteUInt8(uint8_t value)
{
    if (m_nPos == kBufferSize)
        Flush();
    m_buffer[m_nPos++] = value;
}

void CArchive::WriteUInt16(uint16_t value)
{
    WriteUInt8(static_cast<uint8_t>(value));
    WriteUInt8(static_cast<uint8_t>(value >> 8));
}

void CArchive::WriteUInt32(uint32_t value)
{
    WriteUInt16(static_cast<uint16_t>(value));
    WriteUInt16(static_cast<uint16_t>(value >> 16));
}

void CArchive::WriteLength(size_t length)
{
    if (length < 0xFF) {
        WriteUInt8(static_cast<uint8_t>(length));
    } else {
        WriteUInt8(0xFF);
        if (length < 0xFFFE) {
            WriteUInt16(static_cast<uint16_t>(length));
        } else {
            if (static_cast<uint64_t>(length) >> 32) // longer than a 32-bit length
                throw CArchiveException(CArchiveException::badString);
            WriteUInt16(0xFFFF);
            WriteUInt32(static_cast<uint32_t>(length));
        }
    }
}

void CArchive::WriteString(const std::string& value)
{
    // Text the ANSI code page holds exactly is stored in it, as it always was; anything else
    // as 16-bit characters, which readers of the format accept as well.
    std::string bytes;
    if (!AnsiFromUtf8Exactly(value, bytes)) {
        std::u16string chars;
        Utf16FromUtf8(value.data(), value.size(), chars);
        WriteUInt8(0xFF);
        WriteUInt16(0xFFFE);
        WriteLength(chars.size());
        for (char16_t c : chars)
            WriteUInt16(static_cast<uint16_t>(c));
        return;
    }
    size_t length = bytes.size();
    WriteLength(length);
    const char* data = bytes.data();
    while (length) {
        if (m_nPos == kBufferSize)
            Flush();
        size_t chunk = std::min(length, kBufferSize - m_nPos);
        std::memcpy(m_buffer + m_nPos, data, chunk);
        m_nPos += chunk;
        data += chunk;
        length -= chunk;
    }
}

uint8_t CArchive::ReadUInt8()
{
    if (m_nPos == m_nEnd)
        FillBuffer();
    return m_buffer[m_nPos++];
}

uint16_t CArchive::ReadUInt16()
{
    uint16_t low = ReadUInt8();
    return static_cast<uint16_t>(low | ReadUInt8() << 8);
}

uint32_t CArchive::ReadUInt32()
{
    uint32_t low = ReadUInt16();
    return low | static_cast<uint32_t>(ReadUInt16()) << 16;
}

uint32_t CArchive::ReadStringLength(bool* pWide)
{
    uint8_t shortLength = ReadUInt8();
    if (shortLength < 0xFF)
        return shortLength;
    uint16_t length = ReadUInt16();
    if (length == 0xFFFE) {
        // 16-bit characters follow; their count comes in a second, ordinary prefix.
        if (!pWide)
            throw CArchiveException(CArchiveException::badString);
        *pWide = true;
        return ReadStringLength(nullptr);
    }
    if (length < 0xFFFF)
        return length;
    return ReadUInt32();
}

std::string CArchive::ReadString()
{
    bool wide = false;
    uint32_t length = ReadStringLength(&wide);
    std::string value;
    if (wide) {
        // The characters are converted in pieces as they arrive, so memory follows the file,
        // not the length prefix.
        uint16_t piece[kWidePiece];
        size_t held = 0;
        while (length) {
            while (length && held < kWidePiece) {
                piece[held++] = ReadUInt16();
                --length;
            }
            // The first half of a surrogate pair waits for its second half in the next piece.
            size_t ready = length && IsHighSurrogate(piece[held - 1]) ? held - 1 : held;
            if (!AppendUtf8FromUtf16(value, piece, ready))
                m_bLossyText = true;
            held -= ready;
            if (held)
                piece[0] = piece[ready];
        }
        return value;
    }
    std::string bytes;
    while (length) {
        if (m_nPos == m_nEnd)
            FillBuffer();
        size_t chunk = std::min<size_t>(length, m_nEnd - m_nPos);
        bytes.append(reinterpret_cast<const char*>(m_buffer + m_nPos), chunk);
        m_nPos += chunk;
        length -= static_cast<uint32_t>(chunk);
    }
    if (!Utf8FromAnsi(bytes, value))
        m_bLossyText = true;
    return value;
}

void CArchive::WriteClassTag(const CRuntimeClass& runtimeClass)
{
    for (const auto& stored : m_storedClasses) {
        if (stored.first != &runtimeClass)
            continue;
        if (stored.second < kBigObjectTag) {
            WriteUInt16(static_cast<uint16_t>(kClassTag | stored.second));
        } else {
            WriteUInt16(kBigObjectTag);
            WriteUInt32(kBigClassTag | stored.second);
        }
        ++m_nStoreCount;
        return;
    }
    size_t nameLength = std::strlen(runtimeClass.m_lpszClassName);
    if (nameLength >= kMaxClassName)
        throw CArchiveException(CArchiveException::badClass);
    WriteUInt16(kNewClassTag);
    WriteUInt16(runtimeClass.m_wSchema);
    WriteUInt16(static_cast<uint16_t>(nameLength));
    for (size_t i = 0; i < nameLength; ++i)
        WriteUInt8(static_cast<uint8_t>(runtimeClass.m_lpszClassName[i]));
    m_storedClasses.push_back({&runtimeClass, m_nStoreCount++});
    ++m_nStoreCount; // the object that follows
}

bool CArchive::ReadObjectTag(const CRuntimeClass& runtimeClass)
{
    uint16_t shortTag = ReadUInt16();
    if (shortTag == kNewClassTag) {
        uint16_t schema = ReadUInt16();
        uint16_t nameLength = ReadUInt16();
        if (nameLength >= kMaxClassName)
            throw CArchiveException(CArchiveException::badClass);
        char name[kMaxClassName];
        for (uint16_t i = 0; i < nameLength; ++i)
            name[i] = static_cast<char>(ReadUInt8());
        if (nameLength != std::strlen(runtimeClass.m_lpszClassName) ||
            std::memcmp(name, runtimeClass.m_lpszClassName, nameLength) != 0)
            throw CArchiveException(CArchiveException::badClass);
        m_loadMap.push_back({true, schema});
        m_loadMap.push_back({false, 0}); // the object that follows
        m_nObjectSchema = schema;
        return true;
    }

    uint32_t tag;
    if (shortTag == kBigObjectTag)
        tag = ReadUInt32();
    else
        tag = (shortTag & 0x8000u) << 16 | (shortTag & 0x7FFFu);
    uint32_t index = tag & ~kBigClassTag;
    if (index >= m_loadMap.size())
        throw CArchiveException(CArchiveException::badIndex); // not read yet
    const LoadEntry entry = m_loadMap[index];
    if (tag & kBigClassTag) {
        if (!entry.bClass)
            throw CArchiveException(CArchiveException::badIndex);
        m_loadMap.push_back({false, 0});
        m_nObjectSchema = entry.nSchema;
        return true;
    }
    // The null object (tag 0) or a reference; neither may name a class.
    if (entry.bClass)
        throw CArchiveException(CArchiveException::badIndex);
    return false;
}
