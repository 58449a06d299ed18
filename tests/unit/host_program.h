// veldune-host run in the test process on files of a folder of its own:
// what the CLI tests of every score format share.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/cli/host_main.h"

namespace testing_host {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A fresh folder a test (named after it, below the test temp folder) with
// a settings hive of its own.
class HostProgramTest : public ::testing::Test {
protected:
    explicit HostProgramTest(const char* prefix) : prefix_(prefix) {}

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) / (prefix_ + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        hive_ = (dir_ / "registry.reg").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string Write(const std::string& name, const std::string& text) {
        const std::filesystem::path path = dir_ / name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string In(const std::string& name) const { return (dir_ / name).string(); }

    // The program with this folder's hive and the built plug-in.
    Outcome Run(std::vector<std::string> args) {
        args.insert(args.begin(), "veldune-host");
        for (const char* extra : {"--registry", hive_.c_str(), "--plugin", ORVO_MODULE_PATH}) args.push_back(extra);
        std::vector<const char*> argv;
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        session::Console console{&in, &out, &err, false};
        Outcome outcome;
        outcome.status = cli::HostMain(static_cast<int>(argv.size()), argv.data(), console);
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }

    std::string prefix_;
    std::filesystem::path dir_;
    std::string hive_;
};

}  // namespace testing_host
