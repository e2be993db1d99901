// The identity of a directory (volume and file index of its final target),
// which tells when a directory link leads back to a directory already on the
// current path of a scan. Under Wine the volume serial is the one of the
// deepest drive letter over the item's Unix path (0 for a letter its mount
// manager does not know), whatever name opened it: one directory still has
// one identity, but two directories of one Unix device may differ in volume.
#pragma once

#include <windows.h>
#include <string>

struct DirIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
    bool operator==(const DirIdentity& o) const {
        return volume == o.volume && indexHigh == o.indexHigh && indexLow == o.indexLow;
    }
};

// Follows links; false when the directory cannot be opened.
bool directoryIdentity(const std::string& fullPath, DirIdentity& id);

// The identity of an open handle's item.
bool handleIdentity(HANDLE handle, DirIdentity& id);

// Whether the directory at fullPath (links followed) is the one of identity
// id. Its volume is asked only when its file index matches: under Wine the
// index is a stat, the volume serial a round trip to the mount manager.
bool isSameDirectory(const std::string& fullPath, const DirIdentity& id);
