// The messages posted to the main window (lParam always 0). The install
// worker and the fetch threads never touch a control: they post these, and
// the window acts on them on the UI thread.
#pragma once

constexpr unsigned MSG_CLEAR_CACHE = 2943;        // a failure box closed: delete the package
constexpr unsigned MSG_DOWNLOAD_FAILED = 2944;    // wParam: the last attempt's EnumErrorCode, or 14
constexpr unsigned MSG_PACKAGE_READY = 2945;      // a package that is not an ".exe" was downloaded
constexpr unsigned MSG_VERIFY_STARTED = 2946;     // MD5 and signature checks begin
constexpr unsigned MSG_INSTALLER_STARTED = 2947;  // the real installer was started
constexpr unsigned MSG_INSTALL_TIMEOUT = 2948;    // the installer did not finish in time
constexpr unsigned MSG_INSTALL_FINISHED = 2949;   // the installer finished and the bar reached its end
constexpr unsigned MSG_SIGNATURE_INVALID = 2950;  // the package is refused: signature or SHA-256
constexpr unsigned MSG_BANNER_READY = 2952;       // the banner pictures are ready

constexpr unsigned kFirstCustomMessage = MSG_CLEAR_CACHE;
constexpr unsigned kLastCustomMessage = MSG_BANNER_READY;
