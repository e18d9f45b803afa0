// The reference services are for tests: they say so, and they listen on
// loopback only unless told otherwise, since their control routes hand out
// everything they received.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Outcome {
  int exitCode = -1;   // 0 also when it listened (and was stopped then)
  bool listened = false;
  std::string output;  // stdout and stderr
};

// Runs refservices with `args` until it ends, or until it names the port it
// listens on, when it is stopped.
Outcome RunServices(std::vector<std::string> args) {
  args.insert(args.begin(), std::string(SETUP_BIN_DIR) + "/refservices");
  Outcome outcome;
  int fds[2];
  if (pipe(fds) != 0) return outcome;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], STDOUT_FILENO);
    dup2(fds[1], STDERR_FILENO);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  FILE* output = fdopen(fds[0], "r");
  char line[512];
  while (!outcome.listened && std::fgets(line, sizeof line, output)) {
    outcome.output += line;
    outcome.listened = std::string(line).rfind("PORT ", 0) == 0;
  }
  if (outcome.listened) kill(pid, SIGTERM);
  std::fclose(output);
  int status = 0;
  waitpid(pid, &status, 0);
  outcome.exitCode = outcome.listened ? 0 : WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

TEST(RefServicesTest, HelpSaysTheyAreForTestsAndListenOnLoopback) {
  const Outcome help = RunServices({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_FALSE(help.listened);
  EXPECT_NE(help.output.find("for tests, never for deployments"), std::string::npos) << help.output;
  EXPECT_NE(help.output.find("loopback only"), std::string::npos) << help.output;
  EXPECT_NE(help.output.find("--allow-non-loopback"), std::string::npos) << help.output;
}

TEST(RefServicesTest, AnyOtherAddressNeedsTheExplicitFlag) {
  for (const char* address : {"0.0.0.0", "::", "192.0.2.1", "128.0.0.1", "::ffff:127.0.0.1", "example.com"}) {
    const Outcome refused = RunServices({"--bind", address});
    EXPECT_EQ(refused.exitCode, 2) << address;
    EXPECT_FALSE(refused.listened) << address;
    EXPECT_NE(refused.output.find(std::string("refusing to listen on ") + address), std::string::npos)
        << refused.output;
  }
  EXPECT_TRUE(RunServices({}).listened);
  EXPECT_TRUE(RunServices({"--bind", "127.0.0.2"}).listened);
  // Not refused (a machine without IPv6 cannot bind ::1, which is another matter).
  for (const char* address : {"::1", "localhost"})
    EXPECT_EQ(RunServices({"--bind", address}).output.find("refusing"), std::string::npos) << address;
  EXPECT_TRUE(RunServices({"--bind", "0.0.0.0", "--allow-non-loopback"}).listened);
  EXPECT_EQ(RunServices({"--bind"}).exitCode, 2);
}

}  // namespace
