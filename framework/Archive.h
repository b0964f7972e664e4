// The object archive (portable: no <windows.h>): little-endian integers, length-prefixed
// strings and objects stored with their class name, over a CFile.
//
// Object tags (16-bit, first field of every stored object):
//   0x0000            null object
//   0xFFFF            class introduction: 16-bit version, 16-bit name length, the name bytes,
//                     then the fields of a new object of that class
//   0x8000 + index    new object of the class introduced at that index
//   0x0001 .. 0x7FFE  reference to an object read earlier
//   0x7FFF            long tag: a 32-bit tag follows; top bit set: 0x80000000 + class index,
//                     else an object index
// Index 0 is the null object; every class introduction and every new object takes the next
// index in file order, from 1.
//
// Errors raise CArchiveException or CFileException (and std::bad_alloc); the operation that
// started the work catches them.
#pragma once
#include "framework/File.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

class CArchiveException : public std::exception {
public:
    enum Cause { generic, endOfFile, badClass, badIndex, badString };
    explicit CArchiveException(Cause cause) : m_cause(cause) {}
    const char* what() const noexcept override;
    Cause m_cause;
};

// What the archive knows of a storable class: its name and current version.
// A storable class T has `static const CRuntimeClass& GetThisClass()`, a default constructor
// and `void Serialize(CArchive&)`.
struct CRuntimeClass {
    const char* m_lpszClassName;
    uint16_t m_wSchema;
};

class CArchive {
public:
    enum Mode { store, load };
    static constexpr size_t kBufferSize = 4096;
    // Class names of this length or longer are refused when loading.
    static constexpr uint16_t kMaxClassName = 64;
    // 16-bit strings are read and converted this many characters at a time.
    static constexpr size_t kWidePiece = 1024;

    // The file must stay open while the archive works on it.
    CArchive(CFile& file, Mode mode);
    // Drops what was not flushed: call Close() to keep it.
    ~CArchive() = default;
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }
    // Loading: true when every byte of the file has been read.
    bool AtEnd();
    // Storing: writes the buffered bytes to the file. Loading: nothing to do.
    void Close();

    void WriteUInt8(uint8_t value);
    void WriteUInt16(uint16_t value);
    void WriteUInt32(uint32_t value);
    // Writes UTF-8 text. Text the ANSI code page (AnsiText.h) holds exactly: a length prefix
    // (1, 3 or 7 bytes), then its bytes in that code page, no terminator. Other text: the
    // 16-bit marker (FF FE FF), a length prefix counting UTF-16 code units, then the units.
    void WriteString(const std::string& value);

    uint8_t ReadUInt8();
    uint16_t ReadUInt16();
    uint32_t ReadUInt32();
    // Reads a string of either form as UTF-8: 8-bit strings are in the ANSI code page, 16-bit
    // ones UTF-16. What does not convert exactly (a lone surrogate, a byte the code page does
    // not define) becomes U+FFFD and sets LossyText(). The string grows as its bytes arrive,
    // so a length prefix larger than the file costs no memory.
    std::string ReadString();
    // Loading: true once a string read could not be converted exactly.
    bool LossyText() const { return m_bLossyText; }

    CArchive& operator<<(int32_t value) { WriteUInt32(static_cast<uint32_t>(value)); return *this; }
    CArchive& operator<<(const std::string& value) { WriteString(value); return *this; }
    CArchive& operator>>(int32_t& value) { value = static_cast<int32_t>(ReadUInt32()); return *this; }
    CArchive& operator>>(std::string& value) { value = ReadString(); return *this; }

    // Stores a new object (the class is introduced the first time it is stored), or a null
    // tag for nullptr. Every call stores a new object: references are never written.
    template <class T>
    void WriteObject(T* object)
    {
        if (!object) {
            WriteUInt16(0);
            return;
        }
        WriteClassTag(T::GetThisClass());
        object->Serialize(*this);
    }

    // Loads one object of class T. Returns the new object, or nullptr for a null tag or a
    // reference to an object read earlier (the caller owns every object it was given once;
    // the archive keeps no pointers). Any other class, a bad index or a reference to a class
    // or to an index not read yet raises.
    template <class T>
    std::unique_ptr<T> ReadObject()
    {
        if (!ReadObjectTag(T::GetThisClass()))
            return nullptr;
        auto object = std::make_unique<T>();
        object->Serialize(*this);
        return object;
    }

    // Version of the class of the object being loaded (for Serialize).
    uint16_t GetObjectSchema() const { return m_nObjectSchema; }

private:
    void WriteClassTag(const CRuntimeClass& runtimeClass);
    // True when a new object follows; false for a null tag or a reference.
    bool ReadObjectTag(const CRuntimeClass& runtimeClass);
    // A length prefix. With pWide, the 16-bit-character marker is accepted and reported.
    uint32_t ReadStringLength(bool* pWide);
    void WriteLength(size_t length);
    void Flush();
    void FillBuffer();

    CFile& m_file;
    Mode m_mode;
    uint8_t m_buffer[kBufferSize];
    size_t m_nPos = 0;  // storing: bytes buffered; loading: next byte to read
    size_t m_nEnd = 0;  // loading: bytes in the buffer
    uint16_t m_nObjectSchema = 0;
    bool m_bLossyText = false;

    // Storing: the classes introduced so far with their indexes, and the next index.
    std::vector<std::pair<const CRuntimeClass*, uint32_t>> m_storedClasses;
    uint32_t m_nStoreCount = 1;

    // Loading: one entry per index (0 is the null object): a class with its version, or an
    // object. No object pointers are kept, so nothing can dangle.
    struct LoadEntry {
        bool bClass;
        uint16_t nSchema;
    };
    std::vector<LoadEntry> m_loadMap;
};
