// Running cinemill-cli from a test as a user would: its exit status and
// what it printed on each stream. CM_CLI names the binary.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace cinemill::testing_cli {

struct Run {
    int status;
    std::string out, err;
};

// `env` ("NAME=VALUE ...") is set for the program only.
inline Run Cli(const std::string& args, const std::string& env = {}) {
    namespace fs = std::filesystem;
    static int n = 0;
    const fs::path err =
        fs::temp_directory_path() / ("cm_cli_err_" + std::to_string(getpid()) + "_" + std::to_string(n++));
    const std::string cmd =
        (env.empty() ? std::string() : "env " + env + " ") + std::string(CM_CLI) + " " + args + " 2>" + err.string();
    Run r{-1, {}, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t k;
    while ((k = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, k);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(err);
    r.err.assign(std::istreambuf_iterator<char>(e), {});
    fs::remove(err);
    return r;
}

// A test with a fresh directory of its own, `dir_`, removed afterwards.
class DirTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("cm_cli_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::filesystem::path dir_;
};

}  // namespace cinemill::testing_cli
