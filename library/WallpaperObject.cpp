#include "library/WallpaperObject.h"
#include "framework/Archive.h"

const CRuntimeClass& CWallpaperObject::GetThisClass()
{
    static const CRuntimeClass runtimeClass = {"CWallpaperObject", 2};
    return runtimeClass;
}

void CWallpaperObject::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_strPath << m_strTile << m_bNowPlaying << m_bPicture << m_bMaintainAspect << m_bResample;
        return;
    }
    ar >> m_strPath >> m_strTile >> m_bNowPlaying >> m_bPicture;
    if (ar.GetObjectSchema() == 2)
        ar >> m_bMaintainAspect >> m_bResample;
}
