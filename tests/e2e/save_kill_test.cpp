// The program killed (SIGKILL to its Wine processes) at varied moments while it saves its
// settings at exit: the file afterwards is always the old one or the new one, complete,
// byte for byte.
//
//   QD_SAVE_KILL_ROUNDS  number of kills (default 6; scripts/bench.sh runs more)
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "arrow_run.h"
#include "session.h"

namespace qd::e2e {
namespace {

namespace fs = std::filesystem;

constexpr char kExe[] = "Quiverdart.exe";

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// An old file in a form the program never writes (LF line ends, a comment, blanks around
// '='), so that old and new differ in every line; the unknown keys make the save long
// enough for kills to land inside it.
std::string OldFile() {
  std::string text = "; kept by hand\n[Pointer]\nSize = 7\nOrientation=0\n[Colors]\nColorA=00FF00\n";
  text += "[Notes]\n";
  for (int i = 0; i < 6000; ++i) text += "Note" + std::to_string(i) + " = " + std::string(24, 'n') + "\n";
  return text;
}

class SaveKill : public testing::Test {
 protected:
  SaveKill() : s_(1920, 1080) {
    path_ = s_.Install(ProgramPath(), kExe);
    // Wine's server and services stay up between the starts.
    ProcessOptions server;
    server.argv = {"wineserver", "-f", "-p"};
    server.setEnv = s_.Prefix().Environment(s_.Screen().Display(), {});
    server_.emplace(server);
  }
  ~SaveKill() override { s_.Prefix().KillServer(); }

  // Starts the program; its arrow's bounds once shown.
  std::optional<Rect> Start(std::optional<Process>& program) {
    const std::size_t before = s_.X().History().size();
    program.emplace(s_.Launch(path_));
    std::optional<Rect> shown;
    WaitUntil(kStartTimeout, [&] {
      const auto& history = s_.X().History();
      for (std::size_t i = before; i < history.size(); ++i) {
        if (history[i].mapEvent && history[i].geometry.width > 1) shown = history[i].geometry;
      }
      return shown.has_value();
    }, 5ms);
    return shown;
  }

  // Alt+F4 over the shaft (focus follows the pointer): the close that saves, at once.
  void AskToClose(const Rect& r) {
    s_.Input().MoveTo(r.x + r.width / 4, r.y + r.height / 2);
    s_.Input().Key(XK_F4, kAlt);
  }

  Session s_;
  std::string path_;
  std::optional<Process> server_;
};

TEST_F(SaveKill, FileIsAlwaysTheOldOrTheNewOneWhole) {
  const char* rounds = std::getenv("QD_SAVE_KILL_ROUNDS");
  const int count = rounds != nullptr && *rounds != '\0' ? std::atoi(rounds) : 6;

  // Where the file lives, and what the program makes of the old file when nothing stops it.
  std::optional<Process> program;
  auto shown = Start(program);
  ASSERT_TRUE(shown);
  AskToClose(*shown);
  ASSERT_TRUE(program->WaitFor(kExitTimeout));
  const auto file = FindSettingsFile(s_.Prefix());
  ASSERT_TRUE(file) << "no settings file written";
  const std::string oldFile = OldFile();
  WriteFile(*file, oldFile);
  shown = Start(program);
  ASSERT_TRUE(shown);
  AskToClose(*shown);
  const auto status = program->WaitFor(kExitTimeout);
  ASSERT_TRUE(status && status->exited && status->code == 0);
  const std::string newFile = ReadText(*file);
  ASSERT_NE(newFile, oldFile);
  ASSERT_NE(newFile.find("Note5999=nnnn"), std::string::npos) << "unknown keys were lost";

  int olds = 0;
  int news = 0;
  for (int round = 0; round < count; ++round) {
    WriteFile(*file, oldFile);
    shown = Start(program);
    ASSERT_TRUE(shown) << "round " << round;
    // Spread over the save and a little beyond: 0 to 57 ms after the close key.
    const auto delay = std::chrono::milliseconds((round * 7) % 61);
    AskToClose(*shown);
    PauseFor(delay);
    program->Kill();
    const std::string after = ReadText(*file);
    const bool isOld = after == oldFile;
    const bool isNew = after == newFile;
    EXPECT_TRUE(isOld || isNew) << "round " << round << ", killed " << delay.count()
                                << " ms after the close: a file of " << after.size()
                                << " bytes that is neither";
    olds += isOld ? 1 : 0;
    news += isNew ? 1 : 0;
  }
  std::printf("killed %d times: old file %d, new file %d\n", count, olds, news);
}

}  // namespace
}  // namespace qd::e2e
