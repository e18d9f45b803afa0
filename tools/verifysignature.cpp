// Tells whether the installer would accept a file's signature: the check it
// makes of every package it runs, with the publisher pin and roots of this
// build. Scripts use it to prove a signed Setup.exe.
//
// usage: verifysignature FILE   (exit 0: accepted, 1: refused)
#include <cstdio>

#include "platform/Platform.h"
#include "system/FuntionImpl.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  const bool accepted = FuntionImpl::VerifyEmbeddedSignature(platform::Utf8ToWide(argv[1]).c_str());
  std::printf("%s: %s\n", argv[1], accepted ? "accepted" : "refused");
  return accepted ? 0 : 1;
}
