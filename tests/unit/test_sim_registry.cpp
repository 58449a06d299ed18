// The registry hive: value sizes as the Windows calls report them, handles,
// planned failures, and the .reg file in both directions.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/sim/sim.h"

namespace {

const char kKey[] = "Software\\OrvoPlugins\\OrvoSearchReplace111";

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

class SimRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Reset();
        sim::UseEmptyHive();
        dir_ = std::filesystem::temp_directory_path() /
               ("sim-registry-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        sim::Reset();
        sim::UseEmptyHive();
        std::filesystem::remove_all(dir_);
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }

    // Writes one value through the Windows calls, as the plug-in does.
    LSTATUS Store(const char* name, DWORD type, const std::vector<BYTE>& data) {
        HKEY key = nullptr;
        LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                         nullptr, &key, nullptr);
        if (status != ERROR_SUCCESS) return status;
        status = RegSetValueExA(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
        LSTATUS closed = RegCloseKey(key);
        return status != ERROR_SUCCESS ? status : closed;
    }

    std::filesystem::path dir_;
};

TEST_F(SimRegistry, ReportsSizesAsWindowsDoes) {
    ASSERT_EQ(Store("Value", REG_BINARY, {1, 2, 3, 4}), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);

    struct Row {
        const char* what;
        bool withData;
        DWORD size;  // given
        LSTATUS status;
        DWORD sizeAfter;
        int copied;  // bytes that changed in the buffer
    };
    const Row kRows[] = {
        {"null data asks for the size", false, 0, ERROR_SUCCESS, 4, 0},
        {"buffer one byte short", true, 3, ERROR_MORE_DATA, 4, 0},
        {"empty buffer", true, 0, ERROR_MORE_DATA, 4, 0},
        {"exact buffer", true, 4, ERROR_SUCCESS, 4, 4},
        {"larger buffer", true, 8, ERROR_SUCCESS, 4, 4},
    };
    for (const Row& row : kRows) {
        BYTE buffer[8];
        std::memset(buffer, 0xbd, sizeof buffer);
        DWORD size = row.size, type = 0xbdbdbdbd;
        LSTATUS status = RegQueryValueExA(key, "value", nullptr, &type, row.withData ? buffer : nullptr, &size);
        EXPECT_EQ(status, row.status) << row.what;
        EXPECT_EQ(size, row.sizeAfter) << row.what;
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY)) << row.what;
        int changed = 0;
        for (BYTE b : buffer) changed += b != 0xbd;
        EXPECT_EQ(changed, row.copied) << row.what;
        if (row.copied == 4) {
            EXPECT_EQ(std::memcmp(buffer, "\1\2\3\4", 4), 0) << row.what;
        }
    }

    DWORD size = 4;
    BYTE buffer[4];
    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "Value", 0, REG_BINARY, buffer, 4), ERROR_ACCESS_DENIED);  // opened to read
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(key, "Value", nullptr, nullptr, buffer, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(sim::OpenKeys(), 0);
}

TEST_F(SimRegistry, OpensOnlyWhatExistsWhateverTheCase) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\orvoplugins", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(0x1234), "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
}

TEST_F(SimRegistry, PlannedFailuresHitTheNextCallOnly) {
    HKEY key = nullptr;
    sim::FailNextRegistry(sim::RegistryFailure::Create, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Store("A", REG_BINARY, {1}), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(sim::HiveValue(kKey, "A").has_value());
    EXPECT_EQ(Store("A", REG_BINARY, {1}), ERROR_SUCCESS);

    sim::FailNextRegistry(sim::RegistryFailure::Open, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(key, nullptr);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);

    sim::FailNextRegistry(sim::RegistryFailure::Close);
    EXPECT_EQ(RegCloseKey(key), ERROR_ACCESS_DENIED);
    EXPECT_EQ(sim::OpenKeys(), 0);  // the handle is gone all the same

    sim::FailNextRegistry(sim::RegistryFailure::Open);
    sim::Reset();  // plans do not outlive a reset
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(SimRegistry, TheHiveFileRoundTripsWrappedAsRegeditWraps) {
    std::string path = Path("hive.reg");
    std::string error;
    ASSERT_TRUE(sim::LoadHive(path, &error)) << error;  // missing: an empty hive
    std::vector<BYTE> record(112);
    for (std::size_t i = 0; i < record.size(); ++i) record[i] = static_cast<BYTE>(i * 7);
    ASSERT_EQ(Store("SearchOptions", REG_BINARY, record), ERROR_SUCCESS);
    ASSERT_EQ(Store("Count", REG_DWORD, {0x78, 0x56, 0x34, 0x12}), ERROR_SUCCESS);
    ASSERT_EQ(Store("Name", REG_SZ, {'a', '"', '\\', 0}), ERROR_SUCCESS);
    ASSERT_EQ(Store("Odd", 11, {1, 2}), ERROR_SUCCESS);

    std::string text = ReadFile(path);
    EXPECT_EQ(text, sim::HiveText());
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\OrvoPlugins\\OrvoSearchReplace111]"), std::string::npos);
    EXPECT_NE(text.find("\"Count\"=dword:12345678"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Name\"=\"a\\\"\\\\\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"Odd\"=hex(b):01,02"), std::string::npos) << text;
    EXPECT_NE(text.find("\"SearchOptions\"=hex:00,07,0e,"), std::string::npos) << text;
    std::istringstream lines(text);
    int wrapped = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 80u) << line;
        if (!line.empty() && line.back() == '\\') {
            ++wrapped;
            EXPECT_EQ(line.substr(line.size() - 2), ",\\");
        }
    }
    EXPECT_GE(wrapped, 4);  // 112 bytes take several lines

    sim::UseEmptyHive();
    EXPECT_FALSE(sim::HiveValue(kKey, "SearchOptions").has_value());
    ASSERT_TRUE(sim::LoadHive(path, &error)) << error;
    EXPECT_EQ(sim::HiveValue(kKey, "SearchOptions"), std::vector<std::uint8_t>(record.begin(), record.end()));
    EXPECT_EQ(sim::HiveValue(kKey, "count"), (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(sim::HiveValue(kKey, "Name"), (std::vector<std::uint8_t>{'a', '"', '\\', 0}));
    EXPECT_EQ(sim::HiveValue(kKey, "Odd"), (std::vector<std::uint8_t>{1, 2}));
    EXPECT_EQ(sim::HiveText(), text);
}

TEST_F(SimRegistry, ReadsHandWrittenFilesAndNamesTheBadLine) {
    std::string path = Path("hand.reg");
    WriteFile(path,
              "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
              "\r\n"
              "; a comment\r\n"
              "[HKEY_CURRENT_USER\\Software\\X]\r\n"
              "\"Flat\"=hex:01,02,03\r\n"
              "\"Wrapped\"=hex:0a,0b,\\\r\n"
              "   0c\r\n"
              "\"Typed\"=hex(4):01,00,00,00\r\n"
              "@=\"default\"\r\n");
    std::string error;
    ASSERT_TRUE(sim::LoadHive(path, &error)) << error;
    EXPECT_EQ(sim::HiveValue("Software\\X", "Flat"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(sim::HiveValue("Software\\X", "Wrapped"), (std::vector<std::uint8_t>{10, 11, 12}));
    EXPECT_EQ(sim::HiveValue("software\\x", "Typed"), (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(sim::HiveValue("Software\\X", ""), (std::vector<std::uint8_t>{'d', 'e', 'f', 'a', 'u', 'l', 't', 0}));

    struct Row {
        std::string body;  // after the header line
        const char* error;
    };
    const Row kRows[] = {
        {"\"A\"=hex:01\n", "line 2: expected a [HKEY_CURRENT_USER"},    // value before any key
        {"[HKEY_LOCAL_MACHINE\\X]\n", "line 2: expected a key under"},  // another root
        {"[HKEY_CURRENT_USER\\X]\n\"A\"=hex:01,zz\n", "line 3: expected a hex byte"},
        {"[HKEY_CURRENT_USER\\X]\n\"A\"=hex:01,\n", "line 3: expected a hex byte"},  // trailing comma
        {"[HKEY_CURRENT_USER\\X]\n\"A\"=dword:123456789\n", "line 3: expected dword:"},
        {"[HKEY_CURRENT_USER\\X]\n\"A\"=\"open\n", "line 3: expected the closing quote"},
        {"[HKEY_CURRENT_USER\\X]\n\"A\"=word:1\n", "line 3: expected a \"string\""},
        {"[HKEY_CURRENT_USER\\X\n", "line 2: expected ']'"},
        {"[HKEY_CURRENT_USER\\X]\nA=1\n", "line 3: expected a [key]"},
    };
    for (const Row& row : kRows) {
        std::string bad = Path("bad.reg");
        std::string content = "Windows Registry Editor Version 5.00\n" + row.body;
        WriteFile(bad, content);
        std::string why;
        EXPECT_FALSE(sim::LoadHive(bad, &why)) << row.body;
        EXPECT_NE(why.find(row.error), std::string::npos) << "got: " << why << "\nexpected: " << row.error;
        EXPECT_EQ(ReadFile(bad), content);  // left as it was
    }
    std::string why;
    WriteFile(Path("nohead.reg"), "[HKEY_CURRENT_USER\\X]\n");
    EXPECT_FALSE(sim::LoadHive(Path("nohead.reg"), &why));
    EXPECT_NE(why.find("line 1: expected \"Windows Registry Editor Version 5.00\""), std::string::npos) << why;

    // A failed load keeps the hive and the file in use.
    EXPECT_EQ(sim::HiveValue("Software\\X", "Flat"), (std::vector<std::uint8_t>{1, 2, 3}));
    ASSERT_EQ(Store("New", REG_BINARY, {9}), ERROR_SUCCESS);
    EXPECT_NE(ReadFile(path).find("\"New\"=hex:09"), std::string::npos);
}

TEST_F(SimRegistry, KeysCanBeDeletedWithEverythingBelow) {
    sim::SetHiveValue("A\\B\\C", "v", REG_BINARY, {1});
    sim::SetHiveValue("A\\Bx", "v", REG_BINARY, {2});
    sim::DeleteHiveKey("a\\b");
    EXPECT_FALSE(sim::HiveValue("A\\B\\C", "v").has_value());
    EXPECT_TRUE(sim::HiveValue("A\\Bx", "v").has_value());  // a sibling whose name starts alike stays
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A\\B", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

}  // namespace
