// The reminder's pure rules: reading the interval, the balloon text, cutting texts for
// the notification area, and the fade of the notice.
#include <gtest/gtest.h>

#include "reminder/fade.h"
#include "reminder/reminder_text.h"

namespace tarn::reminder {
namespace {

const std::u16string kMessage = u"您太累了,该歇歇了!";

TEST(BalloonText, StatesTheIntervalInSecondsOrMinutes) {
  struct Case {
    std::u16string typed;
    std::u16string expected;
  } cases[] = {
      {u"30", u"您已在电脑前工作了30秒钟了,您太累了,该歇歇了!"},
      {u"59", u"您已在电脑前工作了59秒钟了,您太累了,该歇歇了!"},
      {u"060", u"您已在电脑前工作了1分钟了,您太累了,该歇歇了!"},
      {u"90", u"您已在电脑前工作了1.5分钟了,您太累了,该歇歇了!"},
      {u"100", u"您已在电脑前工作了1.66666666666667分钟了,您太累了,该歇歇了!"},
      {u"1200", u"您已在电脑前工作了20分钟了,您太累了,该歇歇了!"},
      // Under a minute the text is shown as typed.
      {u" +07", u"您已在电脑前工作了 +07秒钟了,您太累了,该歇歇了!"},
      {u"2147483", u"您已在电脑前工作了35791.3833333333分钟了,您太累了,该歇歇了!"},
  };
  for (const Case& c : cases) {
    std::optional<int32_t> seconds = ParseInterval(c.typed);
    ASSERT_TRUE(seconds) << std::string(c.typed.begin(), c.typed.end());
    EXPECT_EQ(BalloonText(c.typed, *seconds, kMessage, u"."), c.expected);
  }
}

TEST(BalloonText, UsesTheUsersDecimalSeparator) {
  EXPECT_EQ(BalloonText(u"90", 90, u"", u","), u"您已在电脑前工作了1,5分钟了,");
  EXPECT_EQ(BalloonText(u"100", 100, u"x", u"·"), u"您已在电脑前工作了1·66666666666667分钟了,x");
}

TEST(FormatGeneral, FifteenSignificantDigitsWithoutTrailingZeros) {
  EXPECT_EQ(FormatGeneral(20.0, u"."), u"20");
  EXPECT_EQ(FormatGeneral(2.0 / 3.0, u"."), u"0.666666666666667");
  EXPECT_EQ(FormatGeneral(123456789012345.0, u"."), u"123456789012345");
  EXPECT_EQ(FormatGeneral(1.5e20, u","), u"1,5E20");
  EXPECT_EQ(FormatGeneral(1e-5, u"."), u"1E-5");
}

TEST(ParseInterval, AcceptsWholeSecondsThatGiveAValidPeriod) {
  EXPECT_EQ(ParseInterval(u"1200"), 1200);
  EXPECT_EQ(ParseInterval(u"  2"), 2);
  EXPECT_EQ(ParseInterval(u"+5"), 5);
  EXPECT_EQ(ParseInterval(u"1"), 1);
  EXPECT_EQ(ParseInterval(u"2147483"), 2147483);
  for (std::u16string bad : {u"", u" ", u"abc", u"12a", u"1.5", u"2 ", u"+", u"0", u"-0", u"-5",
                             u"2147484", u"99999999999999999999", u"１２"}) {
    EXPECT_FALSE(ParseInterval(bad)) << std::string(bad.begin(), bad.end());
  }
}

TEST(CutText, KeepsTheNotificationAreaLimitsWithoutSplittingAPair) {
  EXPECT_EQ(CutText(u"abc", 63), u"abc");
  EXPECT_EQ(CutText(std::u16string(300, u'字'), kBalloonTextUnits).size(), 255u);
  // U+1F600 as a surrogate pair straddling the limit is dropped whole.
  std::u16string title = std::u16string(62, u'a') + u"\U0001F600";
  EXPECT_EQ(CutText(title, kBalloonTitleUnits), std::u16string(62, u'a'));
  EXPECT_EQ(CutText(std::u16string(61, u'a') + u"\U0001F600", kBalloonTitleUnits).size(), 63u);
}

TEST(NoticeFade, FallsByTenEveryTickAndHidesBelowTwentyFive) {
  NoticeFade fade;
  fade.Show();
  EXPECT_EQ(fade.alpha, 255);
  for (int i = 0; i < 12; ++i) fade.Tick();
  EXPECT_EQ(fade.alpha, 135);
  EXPECT_TRUE(fade.visible);
  for (int i = 0; i < 12; ++i) fade.Tick();
  EXPECT_EQ(fade.alpha, 15);
  EXPECT_TRUE(fade.visible);
  fade.Tick();  // the 25th
  EXPECT_FALSE(fade.visible);
  for (int i = 0; i < 5; ++i) fade.Tick();
  EXPECT_EQ(fade.alpha, 15);
  EXPECT_FALSE(fade.visible);
}

TEST(NoticeFade, AShowDuringAFadeStartsAgainAtFullOpacity) {
  NoticeFade fade;
  fade.Show();
  for (int i = 0; i < 10; ++i) fade.Tick();
  fade.Show();
  EXPECT_EQ(fade.alpha, 255);
  fade.Tick();
  EXPECT_EQ(fade.alpha, 245);
  EXPECT_TRUE(fade.visible);
}

}  // namespace
}  // namespace tarn::reminder
