#include "splash/picture_lookup.h"

#include <memory>
#include <string>

namespace {

// Everything the lookup thread touches. Shared by the thread and the waiting
// side: whichever lets go last frees it, so a late thread never writes into
// memory that has gone.
struct Lookup {
    std::string iniPath, setting;
    BackgroundPicture found;  // read by the waiting side only once done is set
    bool failed = false;      // the lookup threw: found is not to be used
    // A manual-reset event, not a condition variable: the wait has a limit,
    // which a kernel wait takes as it is, while a timed wait of this
    // toolchain's standard library goes through the wall clock.
    win::UniqueKernelHandle done;
};

DWORD WINAPI lookUp(void* param) {
    std::unique_ptr<std::shared_ptr<Lookup>> handed(static_cast<std::shared_ptr<Lookup>*>(param));
    std::shared_ptr<Lookup> lookup = std::move(*handed);
    try {
        findBackgroundPicture(lookup->iniPath.c_str(), lookup->setting.c_str(), lookup->found);
    } catch (...) {
        lookup->failed = true;  // the built-in look; what was found goes with the lookup
    }
    SetEvent(lookup->done.get());
    return 0;
}

}  // namespace

void loadBackgroundPictureWithin(const char* iniPath, const char* setting, DWORD limitMs, BackgroundPicture& picture) {
    auto lookup = std::make_shared<Lookup>();
    lookup->iniPath = iniPath;
    lookup->setting = setting;
    lookup->done.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    auto handed = std::make_unique<std::shared_ptr<Lookup>>(lookup);
    win::UniqueKernelHandle thread;
    if (lookup->done) thread.reset(CreateThread(nullptr, 0, lookUp, handed.get(), 0, nullptr));
    if (thread) {
        handed.release();  // the thread's now; closing the handle leaves it to run on
        if (WaitForSingleObject(lookup->done.get(), limitMs) == WAIT_OBJECT_0 && !lookup->failed)
            picture = std::move(lookup->found);
    } else {
        findBackgroundPicture(iniPath, setting, picture);
    }
    finishBackgroundPicture(picture);
}
