#include <gtest/gtest.h>

#include <string>

#include "talkback/inms_alarm_message.h"
#include "talkback/player_status_text.h"

namespace {

const ClockReading kDecemberNight{0, 2026, 12, 7, 2, 17, 28, 0};

PlayerStatus Example() {
  return PlayerStatus{17, 0, 0, FormatStatusDateTime(kDecemberNight), kPlayerStateActive, 0, kConnectionKindOther};
}

TEST(PlayerStatusText, WorkedExampleIsFortyCharacters) {
  const std::string text = FormatPlayerStatusText(Example());
  EXPECT_EQ(text, "1;17;;;12/07/2026 02:17:28;1;0;0;5;0;0;0");
  EXPECT_EQ(text.size(), 40u);
}

struct StatusCase {
  PlayerStatus status;
  const char* expected;
};

TEST(PlayerStatusText, FieldsPrintAsTheHostReadsThem) {
  const std::string date = FormatStatusDateTime(kDecemberNight);
  const StatusCase cases[] = {
      {{17, -1, -1, date, kPlayerStateActive, 0, kConnectionKindOther}, "1;17;-1;-1;12/07/2026 02:17:28;1;0;0;5;0;0;0"},
      {{17, 12, 0, date, kPlayerStateClosing, 0, kConnectionKindMProxy}, "1;17;12;;12/07/2026 02:17:28;4;0;0;7;0;0;0"},
      {{-70000, 0, 34, "", kPlayerStateIdle, 8000, kConnectionKindOther}, "1;-70000;;34;;6;0;8000;5;0;0;0"},
      {{0x7FFFFFFF, 0, 0, date, kPlayerStateActive, -8, kConnectionKindOther},
       "1;2147483647;;;12/07/2026 02:17:28;1;0;-8;5;0;0;0"},
  };
  for (const StatusCase& c : cases) EXPECT_EQ(FormatPlayerStatusText(c.status), c.expected);
}

TEST(PlayerStatusText, DateFieldsArePadded) {
  EXPECT_EQ(FormatStatusDateTime(ClockReading{0, 2027, 1, 2, 3, 4, 5, 999}), "01/02/2027 03:04:05");
  EXPECT_EQ(FormatStatusDateTime(ClockReading{0, 2026, 11, 30, 23, 59, 59, 0}), "11/30/2026 23:59:59");
}

TEST(InmsAlarmMessage, WorkedExampleIsFortyFiveBytes) {
  const std::string text = FormatPlayerStatusText(Example());
  CInmsAlarmMessage alarm(53, text);
  ASSERT_EQ(alarm.Size(), 45);
  const BYTE* bytes = alarm.Data();
  EXPECT_EQ(std::string(bytes, bytes + 4), std::string("\x00\x35\x00\x29", 4));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 4)), text);
  EXPECT_EQ(bytes[44], 0) << "the text travels with its NUL";
  EXPECT_EQ(bytes[45], 0) << "one spare zero byte after what is sent";
}

struct AlarmCase {
  LONG nUCID;
  size_t textLength;
  std::string header;
  LONG size;
};

TEST(InmsAlarmMessage, HeaderCarriesLowUcidBitsAndLengthWithNul) {
  const AlarmCase cases[] = {
      {53, 0, std::string("\x00\x35\x00\x01", 4), 5},
      {0x12345, 3, std::string("\x23\x45\x00\x04", 4), 8},
      {-1, 255, std::string("\xFF\xFF\x01\x00", 4), 260},
      {53, 65534, std::string("\x00\x35\xFF\xFF", 4), 4 + 65535},
      {53, 70000, std::string("\x00\x35\xFF\xFF", 4), 4 + 65535},  // cut: the length cannot say more
  };
  for (const AlarmCase& c : cases) {
    SCOPED_TRACE(c.textLength);
    CInmsAlarmMessage alarm(c.nUCID, std::string(c.textLength, 'x'));
    ASSERT_EQ(alarm.Size(), c.size);
    const BYTE* bytes = alarm.Data();
    EXPECT_EQ(std::string(bytes, bytes + 4), c.header);
    EXPECT_EQ(bytes[c.size - 1], 0) << "the last byte sent is the NUL";
    if (c.textLength > 0) {
      EXPECT_EQ(bytes[c.size - 2], 'x');
    }
  }
}

}  // namespace
