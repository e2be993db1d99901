// Scanning directory trees into registries.
//
// A full pass calls, in this order:
//   SyncRegistry source, dest;
//   ListingPrefetch destination(...);  // optional
//   sourceScan(pass, source, false, &destination);
//   mirrorStructure(dest.root, source.root);
//   destinationScan(pass, dest, source, false, &destination);
// and the root check the same without mirrorStructure, with rootOnly true
// and no destination lister.
//
// Both scans skip what the ignore list matches (by relative path) and walk
// with an explicit stack, one listing open at a time. An entry whose path
// does not fit 1023 characters is left out with one error line. A directory
// link that leads back to a directory on the current path is not entered and
// takes no part. A source directory that exists but cannot be listed (any
// error but "not found") is reported once and left out on both sides:
// nothing below it is copied or deleted; the same for a destination
// directory that the source also has. Every error line counts in errorCount.
#pragma once

#include "sync/registry.h"

class Pass;
class ListingPrefetch;

// Records settings.sourceDir into source.root. With destinationAhead, each
// directory it lists has the destination directory of the same relative
// path queued there, for the destination scan to take.
void sourceScan(Pass& pass, SyncRegistry& source, bool rootOnly, ListingPrefetch* destinationAhead = nullptr);

// Records settings.destDir into dest.root: clears DirMissing on every
// mirrored directory that exists, records destination-only directories with
// DirDelete when deleteExtraFiles is set or the strict test holds, and skips
// whatever the source scan left out. Takes its listings from destination
// when given (the one the source scan fed), else lists ahead on its own.
void destinationScan(Pass& pass, SyncRegistry& dest, SyncRegistry& source, bool rootOnly,
                     ListingPrefetch* destination = nullptr);
