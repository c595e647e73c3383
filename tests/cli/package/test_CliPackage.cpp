// The Debian package as a user gets it: cpack makes it from this build tree; lintian finds no
// errors in it; its dependencies come from the programs' libraries and it recommends the face;
// its desktop entry and AppStream metadata validate; and, unpacked into a temporary root, its
// programs run: norvane-upgrade --version, a probe of the simulated modem, and the wizard up
// to the point where it needs a display. One process for all, so the package is made once.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "../CliTestSupport.h"
#include "RealTftpServer.h"
#include "SimModem.h"

namespace {

using namespace CliTest;
namespace fs = std::filesystem;

class CliPackage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Work = new RealPeers::TTempDir;
    const TRun made =
        Execute({"cpack", "--config", CPACK_CONFIG, "-G", "DEB", "-B", Work->Path()}, Work->Path(), 300000);
    Made = made.Out + made.Err;
    for (const auto& e : fs::directory_iterator(Work->Path()))
      if (e.path().extension() == ".deb") Deb = e.path().string();
    Root = Work->File("root");
    if (!Deb.empty()) Unpacked = Execute({"dpkg", "-x", Deb, Root}, Work->Path()).Exit == 0;
  }
  static void TearDownTestSuite() { delete Work; }
  void SetUp() override {
    ASSERT_FALSE(Deb.empty()) << "cpack made no package:\n" << Made;
    ASSERT_TRUE(Unpacked) << "dpkg -x failed on " << Deb;
  }
  static std::string Field(const std::string& name) {
    std::string v = Execute({"dpkg-deb", "-f", Deb, name}, Work->Path()).Out;
    while (!v.empty() && v.back() == '\n') v.pop_back();
    return v;
  }

  static inline RealPeers::TTempDir* Work = nullptr;
  static inline std::string Made, Deb, Root;
  static inline bool Unpacked = false;
};

// Catches a package that Debian's checker rejects (missing copyright or changelog, unstripped
// programs, bad permissions, a malformed description).
TEST_F(CliPackage, LintianReportsNoErrors) {
  const TRun r = Execute({"lintian", "--no-cfg", "--fail-on", "error", Deb}, Work->Path(), 300000);
  EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
  EXPECT_EQ(r.Out.find("\nE: "), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.rfind("E: ", 0), 0u) << r.Out;
}

// Catches dependencies written by hand (or none) instead of read from the programs, and a
// missing recommendation of the wizard's face.
TEST_F(CliPackage, DependenciesComeFromTheLibrariesAndTheFaceIsRecommended) {
  const std::string depends = Field("Depends");
  for (const char* lib : {"libc6 (>= ", "libstdc++6", "libx11-6", "libfreetype6", "libfontconfig1", "libpng16-16"})
    EXPECT_NE(depends.find(lib), std::string::npos) << lib << " missing from: " << depends;
  EXPECT_EQ(Field("Recommends"), "fonts-wine");
  EXPECT_EQ(Field("Package"), "norvane-upgrade");
}

// Catches a menu entry or metadata that desktops would refuse, an entry that starts a program
// the package lacks, and icons whose pictures do not have the size their folder says.
TEST_F(CliPackage, MenuEntryMetadataAndIconsAreValid) {
  const std::string desktop = Root + "/usr/share/applications/com.pelko.NorvaneUpgradeWizard.desktop";
  const TRun d = Execute({"desktop-file-validate", desktop}, Work->Path());
  EXPECT_EQ(d.Exit, 0) << d.Out << d.Err;
  EXPECT_EQ(d.Out + d.Err, "") << "warnings or hints";
  const TRun a = Execute({"appstreamcli", "validate", "--no-net",
                          Root + "/usr/share/metainfo/com.pelko.NorvaneUpgradeWizard.metainfo.xml"},
                         Work->Path());
  EXPECT_EQ(a.Exit, 0) << a.Out << a.Err;
  const std::string entry = ReadFile(desktop);
  EXPECT_NE(entry.find("\nExec=norvane-upgrade-wizard\n"), std::string::npos) << entry;
  EXPECT_TRUE(fs::exists(Root + "/usr/bin/norvane-upgrade-wizard"));
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    const std::string s = std::to_string(size);
    const std::string png =
        ReadFile(Root + "/usr/share/icons/hicolor/" + s + "x" + s + "/apps/norvane-upgrade-wizard.png");
    ASSERT_GE(png.size(), 24u) << s;
    auto be32 = [&](size_t at) {
      return static_cast<uint8_t>(png[at]) << 24 | static_cast<uint8_t>(png[at + 1]) << 16 |
             static_cast<uint8_t>(png[at + 2]) << 8 | static_cast<uint8_t>(png[at + 3]);
    };
    EXPECT_EQ(be32(16), size) << "width of the " << s << " icon";
    EXPECT_EQ(be32(20), size) << "height of the " << s << " icon";
  }
  for (const char* page : {"norvane-upgrade.1.gz", "norvane-upgrade-wizard.1.gz"})
    EXPECT_TRUE(fs::exists(Root + "/usr/share/man/man1/" + page)) << page;
}

// Catches installed programs that do not run from where the package puts them (a library
// left behind in the build tree, a program installed under the wrong name).
TEST_F(CliPackage, UnpackedProgramsRun) {
  const std::string cli = Root + "/usr/bin/norvane-upgrade";
  TRun r = Execute({cli, "--version"}, Work->Path());
  EXPECT_EQ(r.Exit, 0) << r.Err;
  EXPECT_EQ(r.Out, std::string("norvane-upgrade ") + PROJECT_VERSION_TEXT + "\n");

  SimModem::TModem modem;
  modem.TftpEnabled = false;
  ASSERT_TRUE(modem.Start(TestAddress(), 23, 69, Work->Path())) << modem.Failure();
  r = Execute({cli, "probe", TestAddress()}, Work->Path());
  EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
  EXPECT_NE(r.Out.find("Ready: the modem at " + TestAddress()), std::string::npos) << r.Out;

  // Without a display the wizard gets as far as opening one, and says so under its own name.
  r = Execute({Root + "/usr/bin/norvane-upgrade-wizard"}, Work->Path(), 30000, {"DISPLAY", "WIZARD_DISPLAY"});
  EXPECT_EQ(r.Exit, 1) << r.Out << r.Err;
  EXPECT_NE(r.Err.find("in module norvane-upgrade-wizard"), std::string::npos) << r.Err;
}

}  // namespace
