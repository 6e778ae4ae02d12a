// The screen during a run: the progress window and its bar, cancelling, the progress
// plug-in, the notification tip of silent runs, and pictures painted into the host's
// background. Pictures of the screen are saved under artifacts/ and checked pixel by pixel.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "builder/script_writer.h"
#include "engine/entry/run_state.h"
#include "engine/script/script_format.h"
#include "engine/ui/screen_rules.h"
#include "host/archive_codec.h"
#include "host/crc32.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_host.h"

extern "C" int __stdcall TarnMain(tarn::HostRecord*, const char*, int32_t*, char*, char*);

namespace tarn {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255),
                   kYellow = RGB(255, 255, 0), kBlack = RGB(0, 0, 0);
constexpr COLORREF kBar = RGB(0, 0, 0x7F);

std::string Artifacts() {
  const char* dir = std::getenv("TARN_ARTIFACTS");
  std::string path = dir ? dir : "artifacts";
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

std::string FixturePath(const char* name) {
  const char* dir = std::getenv("TARN_FIXTURES");
  char full[MAX_PATH];
  GetFullPathNameA((std::string(dir ? dir : "fixtures") + "\\" + name).c_str(), sizeof full, full, nullptr);
  return full;
}

// The client area of a window as 32-bit pixels, saved as a .BMP file.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // top-down, 0x00RRGGBB
  COLORREF at(int x, int y) const {
    uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  int Count(int y, int x0, int x1, COLORREF c) const {
    int n = 0;
    for (int x = x0; x < x1; ++x) n += at(x, y) == c;
    return n;
  }
};

Picture Capture(HWND window, const std::string& name) {
  Picture pic;
  RECT client;
  GetClientRect(window, &client);
  pic.width = client.right;
  pic.height = client.bottom;
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), pic.width, -pic.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, pic.width, pic.height, dc, 0, 0, SRCCOPY);
  GdiFlush();
  pic.pixels.assign(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + pic.width * pic.height);
  DWORD size = static_cast<DWORD>(pic.width * pic.height * 4);
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof file + sizeof info.bmiHeader + size), 0, 0,
                        sizeof file + sizeof info.bmiHeader};
  HANDLE out = CreateFileA((Artifacts() + "\\" + name + ".bmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
  DWORD written;
  WriteFile(out, &file, sizeof file, &written, nullptr);
  WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
  WriteFile(out, bits, size, &written, nullptr);
  CloseHandle(out);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, dc);
  return pic;
}

// An 8-bit .BMP file whose pixel (x, y) has colour index pick(x, y) of `colours`.
std::vector<uint8_t> EightBitBmp(int w, int h, const std::vector<COLORREF>& colours,
                                 const std::function<int(int, int)>& pick) {
  int stride = (w + 3) & ~3;
  std::vector<uint8_t> f(14 + 40 + 4 * colours.size() + static_cast<size_t>(stride) * h, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); };
  f[0] = 'B';
  f[1] = 'M';
  put32(2, static_cast<uint32_t>(f.size()));
  put32(10, static_cast<uint32_t>(14 + 40 + 4 * colours.size()));
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  f[26] = 1;
  f[28] = 8;
  put32(46, static_cast<uint32_t>(colours.size()));
  for (size_t i = 0; i < colours.size(); ++i) {
    uint8_t* q = &f[54 + 4 * i];
    q[0] = GetBValue(colours[i]);
    q[1] = GetGValue(colours[i]);
    q[2] = GetRValue(colours[i]);
  }
  uint8_t* bits = &f[54 + 4 * colours.size()];
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) bits[(h - 1 - y) * stride + x] = static_cast<uint8_t>(pick(x, y));
  }
  return f;
}

std::vector<uint8_t> Solid(int w, int h, COLORREF c) {
  return EightBitBmp(w, h, {c}, [](int, int) { return 0; });
}

// A script with an archive of file data and pictures.
class Scene {
 public:
  explicit Scene(uint32_t totalSize = 0, uint32_t headerOptions = 0) {
    ScriptHeaderFields h;
    h.totalSize = totalSize;
    h.headerOptions = headerOptions;
    h.headerFlags = 0;  // no pause between records
    LanguageTexts l = test::EnglishTexts("Install Test");
    l.messages[3] = "Installing ";
    l.messages[18] = "Question";
    l.messages[28] = "Cancel";
    l.messages[29] = "Copying files";
    l.messages[31] = leave;
    l.messages[45] = "Stay";
    l.messages[46] = "Leave";
    h.languages.push_back(l);
    writer_ = std::make_unique<ScriptWriter>(h);
  }
  static inline std::string leave = "Leave the installation?";
  ScriptWriter& w() { return *writer_; }

  void Install(const std::string& destination, const std::string& data) {
    std::vector<uint8_t> packed = PackStored(std::vector<uint8_t>(data.begin(), data.end()));
    InstallFileFields f;
    f.dataStart = static_cast<uint32_t>(archive_.size());
    f.dataEnd = f.dataStart + static_cast<uint32_t>(packed.size());
    f.fileDate = 0x50CF;
    f.fileSize = static_cast<uint32_t>(data.size());
    f.dataChecksum = Crc32Update(0, data.data(), data.size());
    f.destination = destination;
    f.descriptions = {"data file"};
    archive_.insert(archive_.end(), packed.begin(), packed.end());
    writer_->InstallFile(f);
  }
  // A display-graphic record for a block (bitmap or metafile) placed in the archive.
  void Graphic(uint16_t flags, uint16_t xWord, uint16_t yWord, const std::vector<uint8_t>& block) {
    std::vector<uint8_t> packed = PackStored(block);
    uint32_t start = static_cast<uint32_t>(archive_.size());
    archive_.insert(archive_.end(), packed.begin(), packed.end());
    writer_->Record(OP_DISPLAY_GRAPHIC)
        .U16(flags).U16(xWord).U16(yWord)
        .U32(start).U32(start + static_cast<uint32_t>(packed.size())).U32(static_cast<uint32_t>(block.size()))
        .Str("")
        .Finish();
  }
  void Bitmap(uint16_t flags, uint16_t xWord, uint16_t yWord, const std::vector<uint8_t>& bmp) {
    Graphic(flags, xWord, yWord, GraphicBlockFromBmp(bmp));
  }
  void Marker(const std::string& label) { writer_->Marker(label); }

  test::RunResult Run(uint32_t hostFlags, uint32_t silent, std::function<void(const std::string&)> atMarker,
                      const std::vector<uint8_t>& plugin = {}) {
    test::Installation i;
    i.script = writer_->bytes();
    i.fileData = archive_;
    i.hostFlags = hostFlags;
    i.silent = silent;
    i.auxEntries[2] = plugin;
    s_atMarker = std::move(atMarker);
    // The engine is linked into this program; its dialog resources live in the library.
    g_run.hooks.afterStartUp = [] {
      const char* dll = std::getenv("TARN_DLL");
      g_run.engineInstance = LoadLibraryA(dll ? dll : "TARN0132.dll");
    };
    g_run.hooks.onRecord = [](const uint8_t* record) {
      if (record[0] == OP_SKIPPED_TEXTS && s_atMarker) s_atMarker(reinterpret_cast<const char*>(record + 2));
    };
    test::RunResult r = test::RunInstallation(i, &TarnMain);
    g_run.hooks.onRecord = nullptr;
    g_run.hooks.afterStartUp = nullptr;
    return r;
  }

 private:
  static inline std::function<void(const std::string&)> s_atMarker;
  std::unique_ptr<ScriptWriter> writer_;
  std::vector<uint8_t> archive_;
};

constexpr uint32_t kShown = 1;               // background window shown normally
constexpr uint32_t kBytes = 0x10000;          // progress by installed bytes

// Lets the window paint now.
void Paint(HWND window) {
  UpdateWindow(window);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

// Pixels of the bar's middle row filled with the bar colour.
int FilledPixels(const Picture& p) {
  const RECT& bar = g_run.progressBar;
  return p.Count((bar.top + bar.bottom) / 2, bar.left, bar.right, kBar);
}

TEST(ProgressWindow, StatusAndBarAdvance) {
  std::string dir = test::MakeTempDirectory("prog");
  Scene s(40000);
  s.Install(dir + "\\one.dat", std::string(10000, 'a'));
  s.Marker("first");
  s.Install(dir + "\\two.dat", std::string(10000, 'b'));
  s.Install(dir + "\\three.dat", std::string(10000, 'c'));
  s.Marker("third");
  s.Install(dir + "\\four.dat", std::string(10000, 'd'));
  std::map<std::string, int> filled, percent;
  std::map<std::string, std::string> status;
  int barWidth = 0;
  bool cancelEnabled = false;
  std::string caption;
  s.Run(kShown | kBytes, 0, [&](const std::string& label) {
    HWND window = g_run.progressWindow;
    ASSERT_NE(window, nullptr);
    Paint(window);
    Picture p = Capture(window, "progress_window_" + label);
    filled[label] = FilledPixels(p);
    percent[label] = g_run.progressPercent;
    barWidth = g_run.progressBar.right - g_run.progressBar.left;
    char text[512] = "";
    GetDlgItemTextA(window, 3829, text, sizeof text);
    status[label] = text;
    GetWindowTextA(window, text, sizeof text);
    caption = text;
    cancelEnabled = IsWindowEnabled(GetDlgItem(window, 2)) != 0;
  });
  EXPECT_EQ(caption, "Copying files");
  EXPECT_TRUE(cancelEnabled);
  EXPECT_EQ(percent["first"], 25);
  EXPECT_EQ(percent["third"], 75);
  // The dark part of the bar follows the percentage (the text inside takes a few pixels).
  EXPECT_NEAR(filled["first"], barWidth / 4, barWidth / 10);
  EXPECT_NEAR(filled["third"], barWidth * 3 / 4, barWidth / 10);
  EXPECT_EQ(status["first"].rfind("Installing data file:\n", 0), 0u) << status["first"];
  EXPECT_NE(status["third"].find("three.dat"), std::string::npos) << status["third"];
  EXPECT_EQ(g_run.progressWindow, nullptr);  // closed at the end of the run
}

TEST(ProgressWindow, NoCancelOptionDisablesTheButton) {
  std::string dir = test::MakeTempDirectory("prog");
  Scene s(0, 0x100);
  s.Install(dir + "\\one.dat", "1");
  s.Marker("first");
  bool enabled = true;
  s.Run(kShown, 0, [&](const std::string&) {
    ASSERT_NE(g_run.progressWindow, nullptr);
    enabled = IsWindowEnabled(GetDlgItem(g_run.progressWindow, 2)) != 0;
  });
  EXPECT_FALSE(enabled);
}

// Tests run side by side on one display: only this process's dialogs count.
HWND WaitForWindow(const char* caption) {
  for (int i = 0; i < 500; ++i) {
    HWND w = nullptr;
    while ((w = FindWindowExA(nullptr, w, "#32770", caption)) != nullptr) {
      DWORD process = 0;
      GetWindowThreadProcessId(w, &process);
      if (process == GetCurrentProcessId() && IsWindowVisible(w)) return w;
    }
    Sleep(20);
  }
  return nullptr;
}

TEST(ProgressWindow, CancelConfirmedEndsTheRunAsCancelled) {
  std::string dir = test::MakeTempDirectory("prog");
  Scene s;
  s.Install(dir + "\\one.dat", "1");
  s.Marker("wait");
  s.Install(dir + "\\two.dat", "2");
  bool questionSeen = false;
  static std::atomic<bool> waiting;
  waiting = false;
  struct Clicker {
    bool* seen;
    static DWORD WINAPI Run(void* p) {
      auto* self = static_cast<Clicker*>(p);
      HWND progress = WaitForWindow("Copying files");
      if (progress == nullptr) return 1;
      // The user cancels while the run waits at the marker, after the first file.
      for (int i = 0; i < 500 && !waiting; ++i) Sleep(20);
      PostMessageA(GetDlgItem(progress, 2), BM_CLICK, 0, 0);
      HWND question = WaitForWindow("Question");
      if (question == nullptr) return 1;
      char text[256] = "";
      GetDlgItemTextA(question, 1005, text, sizeof text);
      *self->seen = std::string(text) == Scene::leave;
      Sleep(200);
      PostMessageA(GetDlgItem(question, 3), BM_CLICK, 0, 0);  // "Leave"
      return 0;
    }
  } clicker{&questionSeen};
  HANDLE thread = CreateThread(nullptr, 0, &Clicker::Run, &clicker, 0, nullptr);
  test::RunResult r = s.Run(kShown, 0, [&](const std::string&) {
    // The run waits here, serving its windows, until the user has answered.
    waiting = true;
    DWORD end = GetTickCount() + 15000;
    while (g_run.host->cancelState == 0 && GetTickCount() < end) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
      Sleep(10);
    }
  });
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
  EXPECT_TRUE(questionSeen);
  EXPECT_EQ(r.recordAfter.cancelState, 1u);
  EXPECT_TRUE(test::Exists(dir + "\\one.dat"));
  EXPECT_FALSE(test::Exists(dir + "\\two.dat"));  // the run ended before the next file
}

// ---- The progress plug-in

std::vector<std::string> ReadLines(const std::string& path) {
  std::string all = test::ReadWholeFile(path);
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl; (nl = all.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(all.substr(start, nl - start));
  }
  return lines;
}

std::vector<uint8_t> PluginBytes() {
  std::string bytes = test::ReadWholeFile(FixturePath("progress_plugin.dll"));
  return {bytes.begin(), bytes.end()};
}

TEST(ProgressPlugin, ReceivesItsCallsInOrderAndReplacesTheWindow) {
  std::string dir = test::MakeTempDirectory("plug");
  std::string log = dir + "\\calls.txt";
  SetEnvironmentVariableA("TARN_PLUGIN_LOG", log.c_str());
  Scene s(2000);
  s.Install(dir + "\\one.dat", std::string(1000, 'a'));
  s.Marker("after one");
  s.Install(dir + "\\two.dat", std::string(1000, 'b'));
  // A picture step that only closes the progress display.
  s.w().Record(OP_DISPLAY_GRAPHIC).U16(kGraphicCloseProgress).U16(0).U16(0).U32(0).U32(0).U32(0).Str("").Finish();
  bool pluginVisible = false;
  HWND ownWindow = nullptr;
  test::RunResult r = s.Run(kShown | kBytes, 0, [&](const std::string&) {
    pluginVisible = g_run.pluginWindow != nullptr && IsWindowVisible(g_run.pluginWindow);
    ownWindow = FindWindowA("#32770", "Copying files");
    Capture(g_run.pluginWindow, "progress_plugin_window");
  }, PluginBytes());
  SetEnvironmentVariableA("TARN_PLUGIN_LOG", nullptr);
  EXPECT_EQ(r.recordAfter.cancelState, 0u);
  EXPECT_TRUE(pluginVisible);
  EXPECT_EQ(ownWindow, nullptr);  // no progress window of the engine's own
  std::vector<std::string> calls = ReadLines(log);
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls.front(), "start 0 host=1 instance=1 visible=1");
  EXPECT_EQ(calls.back(), "end 3");
  // Status calls carry the position code, the text of each file (null between records),
  // the progress in tenths, the variable count and an empty parameter text.
  int withText = 0;
  unsigned lastTenths = 0;
  for (size_t i = 1; i + 1 < calls.size(); ++i) {
    const std::string& c = calls[i];
    if (c == "close") continue;
    ASSERT_EQ(c.rfind("status 0 text=", 0), 0u) << c;
    EXPECT_NE(c.find(" params=[] "), std::string::npos) << c;
    EXPECT_EQ(c.find(" count=0 "), std::string::npos) << c;
    if (c.find("text=(null)") == std::string::npos) {
      ++withText;
      EXPECT_NE(c.find("Installing data file:|"), std::string::npos) << c;
    }
    unsigned tenths = std::stoul(c.substr(c.find("tenths=") + 7));
    EXPECT_GE(tenths, lastTenths) << c;
    lastTenths = tenths;
  }
  EXPECT_EQ(withText, 2);
  EXPECT_EQ(lastTenths, 1000u);
  auto close = std::find(calls.begin(), calls.end(), "close");
  ASSERT_NE(close, calls.end());
  EXPECT_EQ(close[1].rfind("status 0 text=(null)", 0), 0u);  // the screen update after closing
}

TEST(ProgressPlugin, WindowHandedBackCancelsWhenConfirmed) {
  std::string dir = test::MakeTempDirectory("plug");
  std::string log = dir + "\\calls.txt";
  SetEnvironmentVariableA("TARN_PLUGIN_LOG", log.c_str());
  SetEnvironmentVariableA("TARN_PLUGIN_CANCEL_AT", "2");
  std::string savedLeave = Scene::leave;
  Scene::leave = "";  // no question: the cancel counts at once
  Scene s;
  Scene::leave = savedLeave;
  s.Install(dir + "\\one.dat", "1");
  s.Install(dir + "\\two.dat", "2");
  s.Install(dir + "\\three.dat", "3");
  test::RunResult r = s.Run(kShown, 0, nullptr, PluginBytes());
  SetEnvironmentVariableA("TARN_PLUGIN_LOG", nullptr);
  SetEnvironmentVariableA("TARN_PLUGIN_CANCEL_AT", nullptr);
  EXPECT_EQ(r.recordAfter.cancelState, 1u);
  EXPECT_FALSE(test::Exists(dir + "\\three.dat"));
}

// ---- The notification tip of a silent run

TEST(TrayTip, TitleThenPercentOnlyWhenItMoves) {
  std::string dir = test::MakeTempDirectory("tray");
  Scene s(100);
  s.Marker("begin");  // the screen is updated after each record: the counters of start-up are gone
  s.Marker("start");
  s.Install(dir + "\\one.dat", std::string(37, 'a'));
  s.Marker("at 37");
  s.Marker("still 37");
  std::map<std::string, std::string> tips;
  std::map<std::string, int> calls;
  s.Run(kBytes | 2, 1, [&](const std::string& label) {
    tips[label] = g_run.notifyIcon.szTip;
    calls[label] = g_run.trayTipCalls;
  });
  EXPECT_EQ(tips["start"], "Install Test");
  EXPECT_GE(calls["start"], 1);  // the icon was added with its tip
  EXPECT_EQ(tips["at 37"], "Install Test - 37%");
  EXPECT_EQ(calls["at 37"], calls["start"] + 1);
  EXPECT_EQ(calls["still 37"], calls["at 37"]);  // the same percentage is not shown again
}

// ---- Pictures on the background

struct Background {
  Picture picture;
  uint8_t screenState = 0;
  int frames = 0;
};

// Runs `s` with the background shown; the background is captured at every marker.
std::map<std::string, Background> RunPictures(Scene& s) {
  std::map<std::string, Background> shots;
  s.Run(kShown, 0, [&](const std::string& label) {
    Background& b = shots[label];
    b.screenState = g_run.host->screenState;
    Paint(g_run.hostWindow);
    b.frames = g_run.transitionFrames;
    b.picture = Capture(g_run.hostWindow, "background_" + label);
  });
  return shots;
}

TEST(Pictures, OpaqueTransparentScaledAndAligned) {
  Scene s;
  // Opaque red at (64, 48) in 1/640 and 1/480 of the background.
  s.Bitmap(0, 64, 48, Solid(40, 40, kRed));
  // Transparent over it: the left half pure blue, the right half green.
  s.Bitmap(kGraphicTransparent, 64, 48, EightBitBmp(40, 40, {kBlue, kGreen}, [](int x, int) { return x < 20 ? 0 : 1; }));
  // Yellow 32 x 24, scaled to the background and put in its bottom right corner.
  s.Bitmap(kGraphicScale, kAlignFarEdge, kAlignFarEdge, Solid(32, 24, kYellow));
  s.Marker("pictures");
  int w = 0, h = 0;
  std::map<std::string, Background> shots;
  s.Run(kShown, 0, [&](const std::string& label) {
    w = g_run.backgroundWidth;
    h = g_run.backgroundHeight;
    Paint(g_run.hostWindow);
    shots[label].picture = Capture(g_run.hostWindow, "background_pictures");
  });
  const Picture& p = shots["pictures"].picture;
  ASSERT_EQ(p.width, w);
  int x = 64 * w / 640, y = 48 * h / 480;
  EXPECT_EQ(p.at(x + 5, y + 20), kRed);     // blue is transparent: the red shows through
  EXPECT_EQ(p.at(x + 30, y + 20), kGreen);
  EXPECT_EQ(p.at(x - 3, y + 20), kBlack);   // the host's own background beside it
  int factor = std::min(w * 10000 / 640, h * 10000 / 480);
  int sw = 32 * factor / 10000, sh = 24 * factor / 10000;
  EXPECT_EQ(p.at(w - 1, h - 1), kYellow);
  EXPECT_EQ(p.at(w - sw, h - sh), kYellow);
  EXPECT_EQ(p.at(w - sw - 2, h - 2), kBlack);
  EXPECT_EQ(p.at(w - 2, h - sh - 2), kBlack);
}

TEST(Pictures, OpaqueTileCoversTransparentTileDoesNot) {
  struct Case {
    uint16_t flags;
    bool covered;
  } cases[] = {{kGraphicTile, true}, {kGraphicTile | kGraphicTransparent, false}};
  for (const Case& c : cases) {
    Scene s;
    s.Bitmap(c.flags, 0, 0, EightBitBmp(16, 16, {kGreen, kBlue}, [](int x, int y) { return (x < 8) == (y < 8) ? 0 : 1; }));
    s.Marker(c.covered ? "tile" : "transparent_tile");
    std::map<std::string, Background> shots = RunPictures(s);
    const Background& b = shots.begin()->second;
    EXPECT_EQ((b.screenState & kScreenCovered) != 0, c.covered) << c.flags;
    const Picture& p = b.picture;
    // The pattern repeats over the whole background, to its far edges.
    for (int y : {3, 11, 16 * 7 + 3, p.height - 1}) {
      for (int x : {3, 11, 16 * 9 + 11, p.width - 1}) {
        bool green = ((x % 16) < 8) == ((y % 16) < 8);
        COLORREF expected = green ? kGreen : (c.covered ? kBlue : kBlack);
        EXPECT_EQ(p.at(x, y), expected) << c.flags << " at " << x << "," << y;
      }
    }
  }
}

TEST(Pictures, SlideReachesItsTargetAndDissolveTakes32Frames) {
  Scene s;
  s.Bitmap(kEffectFromTop << kGraphicEffectShift, 320, 240, Solid(48, 40, kYellow));
  s.Marker("slide");
  s.Bitmap(kGraphicRemoveAll | (kEffectDissolve << kGraphicEffectShift), 0, 0, Solid(60, 30, kGreen));
  s.Marker("dissolve");
  std::map<std::string, Background> shots = RunPictures(s);
  const Picture& slide = shots["slide"].picture;
  int x = 320 * slide.width / 640, y = 240 * slide.height / 480;
  EXPECT_EQ(slide.at(x, y), kYellow);
  EXPECT_EQ(slide.at(x + 47, y + 39), kYellow);
  EXPECT_EQ(slide.at(x + 10, y - 1), kBlack);  // the trailing edge was repainted
  EXPECT_EQ(slide.at(x + 10, 5), kBlack);
  EXPECT_GT(shots["slide"].frames, 1);
  const Background& dissolve = shots["dissolve"];
  EXPECT_EQ(dissolve.frames, 32);
  EXPECT_EQ(dissolve.picture.at(0, 0), kGreen);
  EXPECT_EQ(dissolve.picture.at(59, 29), kGreen);
  EXPECT_EQ(dissolve.picture.at(x + 10, y + 10), kBlack);  // the slid picture was removed
}

TEST(Pictures, MetafileAndBmpFile) {
  // A metafile that fills its 40 x 20 area in magenta; its extent maps 50 units to the size.
  HDC meta = CreateMetaFileA(nullptr);
  SetWindowExtEx(meta, 50, 50, nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(255, 0, 255));
  SelectObject(meta, brush);
  SelectObject(meta, GetStockObject(NULL_PEN));
  Rectangle(meta, 0, 0, 41, 21);
  HMETAFILE handle = CloseMetaFile(meta);
  DeleteObject(brush);
  std::vector<uint8_t> block(GetMetaFileBitsEx(handle, 0, nullptr));
  GetMetaFileBitsEx(handle, static_cast<UINT>(block.size()), block.data());
  DeleteMetaFile(handle);
  block.insert(block.end(), {40, 0, 20, 0});
  std::string dir = test::MakeTempDirectory("pict");
  std::vector<uint8_t> bmp = Solid(20, 20, kRed);
  test::WriteWholeFile(dir + "\\red.bmp", std::string(bmp.begin(), bmp.end()));

  Scene s;
  s.Graphic(kGraphicMetafile, 0, 0, block);
  s.w().Record(OP_DISPLAY_GRAPHIC).U16(kGraphicFromFile).U16(320).U16(0).U32(0).U32(0).U32(0).Str(dir + "\\red.bmp").Finish();
  s.w().Record(OP_DISPLAY_GRAPHIC).U16(kGraphicFromFile).U16(0).U16(240).U32(0).U32(0).U32(0).Str(dir + "\\missing.bmp").Finish();
  s.Marker("metafile");
  std::map<std::string, Background> shots = RunPictures(s);
  const Picture& p = shots["metafile"].picture;
  EXPECT_EQ(p.at(2, 2), RGB(255, 0, 255));
  EXPECT_EQ(p.at(38, 18), RGB(255, 0, 255));
  EXPECT_EQ(p.at(45, 25), kBlack);
  EXPECT_EQ(p.at(320 * p.width / 640 + 10, 10), kRed);
  EXPECT_EQ(p.at(10, 240 * p.height / 480 + 10), kBlack);  // a missing file shows nothing
}

}  // namespace
}  // namespace tarn
