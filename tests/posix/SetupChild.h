// Runs the built Setup program as a child process for process-level tests.
//
// The child gets its own APPDATA, HOME and XDG_DATA_HOME under the test's
// folder and runs there. Setup puts its download folder at the root of the
// roomiest fixed drive; so that a test never writes outside its folder, the
// child and every copy it starts read a mount table (SETUP_MOUNT_TABLE)
// that names one drive only: the test's "drive" folder.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class SetupChild {
 public:
  // `folder` holds the child's data folders, its fake drive and its output.
  explicit SetupChild(const std::filesystem::path& folder) : folder_(folder) {
    std::filesystem::create_directories(folder_ / "drive");
    std::ofstream(folder_ / "mounts") << "/dev/setup-test-drive " << (folder_ / "drive").string()
                                      << " ext4 rw 0 0\n";
    env_["APPDATA"] = (folder_ / "appdata").string();
    env_["HOME"] = (folder_ / "home").string();
    env_["XDG_DATA_HOME"] = (folder_ / "home" / "data").string();
    env_["SETUP_MOUNT_TABLE"] = (folder_ / "mounts").string();
  }
  ~SetupChild() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  SetupChild(const SetupChild&) = delete;
  SetupChild& operator=(const SetupChild&) = delete;

  void SetEnv(const std::string& name, const std::string& value) { env_[name] = value; }

  // Starts `program` with the arguments; standard output and error go to
  // the file `outputName` in the folder.
  bool Start(const std::string& program, const std::vector<std::string>& args,
             const std::string& outputName) {
    output_ = folder_ / outputName;
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const size_t eq = entry.find('=');
      if (eq != std::string::npos) env.emplace(entry.substr(0, eq), entry.substr(eq + 1));
    }
    for (const auto& [name, value] : env_) env[name] = value;
    std::vector<std::string> envStrings;
    for (const auto& [name, value] : env) envStrings.push_back(name + "=" + value);
    std::vector<char*> argv = Pointers(argStrings), envp = Pointers(envStrings);
    const std::string out = output_.string(), cwd = folder_.string();

    pid_ = fork();
    if (pid_ == 0) {  // only system calls until exec
      const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || dup2(fd, 1) < 0 || dup2(fd, 2) < 0 || chdir(cwd.c_str()) != 0) _exit(126);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    return pid_ > 0;
  }

  // The exit code, or -1 when the child did not end in time (it is killed
  // with this object) or ended by a signal (see Signal()).
  int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
    signal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Whether the child is still running (it has not been waited for yet).
  bool Running() const {
    siginfo_t info{};
    return pid_ > 0 && waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }
  // The signal that ended the child, once Wait saw it end; 0 for none.
  int Signal() const { return signal_; }

  std::string Output() const { return ReadFile(output_); }

  // The log file of the run: the only ".log" file under the child's APPDATA.
  std::filesystem::path LogPath() const {
    std::error_code ignored;
    const std::filesystem::path appData = folder_ / "appdata";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(appData, ignored))
      if (entry.path().extension() == ".log") return entry.path();
    return std::filesystem::path();
  }
  std::string LogText() const { return ReadFile(LogPath()); }

  static std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

 private:
  static std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
  }

  std::filesystem::path folder_, output_;
  std::map<std::string, std::string> env_;
  pid_t pid_ = -1;
  int signal_ = 0;
};
