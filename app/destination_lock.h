// One run at a time per destination directory: a named mutex of the
// session, keyed by where the destination really is. A second run on the
// same destination gives way at once, before it touches the directory or
// the logs of the run under way.
#pragma once

#include <string>

#include "win/unique_handle.h"

// The key of a destination path: its canonical path (links, mapped drive
// letters and 8.3 names resolved as far as the path exists), so that every
// spelling of one directory meets. Where the path cannot be resolved, its
// normalised text: absolute, upper-cased, without trailing backslashes.
std::wstring destinationKey(const char* destination);

class DestinationLock {
public:
    // Takes the destination's lock if no other run holds it.
    explicit DestinationLock(const std::string& destination);
    ~DestinationLock();
    DestinationLock(const DestinationLock&) = delete;
    DestinationLock& operator=(const DestinationLock&) = delete;

    // False when another run holds the destination.
    bool held() const { return owned_; }

private:
    win::UniqueKernelHandle mutex_;
    bool owned_ = false;
};
