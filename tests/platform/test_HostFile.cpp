// The host's files as the streams see them: bytes in and out unchanged, and each failure with
// the platform's number and text. Written against the platform's own calls only, so the same
// file checks every host's backend.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Files.h"
#include "HostFile.h"
#include "Streams.h"
#include "SysUtils.h"

using namespace std::string_literals;

namespace {

class HostFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FDir = std::filesystem::temp_directory_path() /
           ("hostfile-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(FDir);
    std::filesystem::create_directories(FDir);
  }
  void TearDown() override { std::filesystem::remove_all(FDir); }
  std::string Path(const char* name) const { return (FDir / name).string(); }

  std::filesystem::path FDir;
};

// Catches a text mode anywhere on the way: line ends, end-of-file marks and NULs would be
// rewritten or cut, and a firmware image with them would reach the modem changed.
TEST_F(HostFileTest, StreamsCarryEveryByteValueUnchanged) {
  std::string bytes = "\r\n\n\r\x1a\0\xff"s;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  {
    TFileStream out(Path("image.bin"), fmCreate);
    out.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  }
  EXPECT_EQ(ReadFile(Path("image.bin")), bytes);

  TFileStream in(Path("image.bin"), fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(in.Size(), static_cast<int64_t>(bytes.size()));
  std::string back(bytes.size(), '\0');
  in.ReadBuffer(back.data(), static_cast<int32_t>(back.size()));
  EXPECT_EQ(back, bytes);
  char more = 0;
  EXPECT_EQ(in.Read(&more, 1), 0) << "nothing after the last byte";
}

// Catches failures that lose the host's reason or the platform's wording.
TEST_F(HostFileTest, OpenFailuresSayWhatAndWhy) {
  try {
    TFileStream missing(Path("missing.bin"), fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    const std::string prefix = "Cannot open file \"" + Path("missing.bin") + "\". ";
    EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix);
    EXPECT_GT(e.Message().size(), prefix.size()) << "the host's reason follows";
  }
  try {
    TFileStream uncreatable(Path("no-such-dir/new.bin"), fmCreate);
    FAIL() << "created a file in a missing folder";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message().rfind("Cannot create file \"", 0), 0u) << e.Message();
  }
}

// Catches wrong platform numbers for the failures the wizard reports about a firmware file.
TEST_F(HostFileTest, RecordFilesReportThePlatformsErrors) {
  TBinaryFile missing(Path("missing.bin"));
  try {
    missing.Reset();
    FAIL() << "opened a missing file";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 2);
    EXPECT_EQ(e.Message(), "File not found");
  }

  TBinaryFile folder(FDir.string());
  try {
    folder.Reset();
    FAIL() << "opened a folder as a file";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 5);
    EXPECT_EQ(e.Message(), "File access denied");
  }

  WriteFile(Path("image.bin"), std::string(1234, 'x'));
  TBinaryFile image(Path("image.bin"));
  image.Reset();
  EXPECT_EQ(image.FileSize(), 1234);
  image.Close();
  try {
    image.Close();
    FAIL() << "closed a file twice";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.ErrorCode, 103);
    EXPECT_EQ(e.Message(), "File not open");
  }
}

// Catches a program name taken from somewhere other than the running executable.
TEST(HostProgram, KnowsItsOwnFileName) {
  const std::filesystem::path self = ProgramFileName();
  ASSERT_FALSE(self.empty());
  EXPECT_TRUE(std::filesystem::exists(self)) << self;
  const std::string stem = self.stem().string();
  EXPECT_EQ(stem.substr(stem.size() - 6), "_tests") << "a test executable, not the host's loader: " << self;
}

}  // namespace
