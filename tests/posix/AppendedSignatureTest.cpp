// The posix verifier's second format: a file (the Linux stand-in installer is
// an ELF program) with a CMS signature appended as Linux kernel modules carry
// it. The same cases as for PE files: only the pinned publisher's intact file
// passes.
#include <gtest/gtest.h>

#include "signing/SignedFiles.h"
#include "unit/TempFolder.h"

namespace {

TEST(AppendedSignature, OnlyThePinnedPublishersIntactFilePasses) {
  TempFolder folder;
  signing::ExpectOnlyPinnedPasses(folder.path(), "elf", "");
}

}  // namespace
