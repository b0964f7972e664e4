// One library entry: a playlist (m_bPicture 0) or a picture (m_bPicture non-zero).
#pragma once
#include "framework/Object.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CArchive;
struct CRuntimeClass;

class CWallpaperObject : public CObject {
public:
    CWallpaperObject() = default;
    CWallpaperObject(const std::string& path, int32_t picture) : m_strPath(path), m_bPicture(picture) {}

    // Class name "CWallpaperObject", version 2.
    static const CRuntimeClass& GetThisClass();
    // Stores the six fields; loads six for class version 2, else the first four (the last two
    // keep their defaults).
    void Serialize(CArchive& ar);

    std::string m_strPath;          // picture: full path of the file; playlist: its name
    std::string m_strTile = "0";    // "1" tiled, "0" centred (anything but "0" tiles when painting)
    int32_t m_bNowPlaying = 0;      // 1: the record was the Now Playing item when written
    int32_t m_bPicture = 0;         // 0 playlist, non-zero picture
    int32_t m_bMaintainAspect = 1;  // keep the aspect ratio when fitting
    int32_t m_bResample = 0;        // fit by resampling (else by resizing)
};

// A list of records that owns them; emptying it deletes them.
using CWallpaperList = std::vector<std::unique_ptr<CWallpaperObject>>;
