#include <gtest/gtest.h>

#include "archive/FileAttr.h"
#include "archive/Timer.h"

namespace {

int FlagsSet(const TorxFileAttr& a) {
  return a.ftArchive() + a.ftHidden() + a.ftReadOnly() + a.ftSysFile() + a.ftCompressed() + a.ftVolumeID() +
         a.ftDirectory() + a.ftTemporary();
}

}  // namespace

TEST(TorxFileAttr, NewFilterStandsForAnyFile) {
  TorxFileAttr filter;
  EXPECT_TRUE(filter.ftAnyFile());
  EXPECT_EQ(filter.ftFileAttr(), 2367);
  EXPECT_EQ(FlagsSet(filter), 8);
}

TEST(TorxFileAttr, CombinedValueSetsFlags) {
  TorxFileAttr filter;
  filter.SetftFileAttr(0x21);
  EXPECT_FALSE(filter.ftAnyFile());
  EXPECT_TRUE(filter.ftArchive());
  EXPECT_TRUE(filter.ftReadOnly());
  EXPECT_EQ(FlagsSet(filter), 2);
  EXPECT_EQ(filter.ftFileAttr(), 0x21);

  filter.SetftFileAttr(0x3F);
  EXPECT_TRUE(filter.ftAnyFile());
  EXPECT_EQ(filter.ftFileAttr(), 2367);
  filter.SetftFileAttr(0x81);
  EXPECT_TRUE(filter.ftAnyFile());
  EXPECT_EQ(filter.ftFileAttr(), 2367);
  filter.SetftFileAttr(0x900);  // compressed and temporary
  EXPECT_FALSE(filter.ftAnyFile());
  EXPECT_TRUE(filter.ftCompressed());
  EXPECT_TRUE(filter.ftTemporary());
  EXPECT_EQ(filter.ftFileAttr(), 0x900);
}

TEST(TorxFileAttr, ClearingEveryFlagEndsInAnyFile) {
  TorxFileAttr filter;
  filter.SetftArchive(false);
  EXPECT_FALSE(filter.ftAnyFile());
  EXPECT_EQ(filter.ftFileAttr(), 2367 - 0x20);
  filter.SetftHidden(false);
  filter.SetftReadOnly(false);
  filter.SetftSysFile(false);
  filter.SetftCompressed(false);
  filter.SetftVolumeID(false);
  filter.SetftDirectory(false);
  EXPECT_EQ(filter.ftFileAttr(), 0x100);
  EXPECT_FALSE(filter.ftAnyFile());
  filter.SetftTemporary(false);  // the last one: all equal again
  EXPECT_TRUE(filter.ftAnyFile());
  EXPECT_EQ(filter.ftFileAttr(), 2367);
  EXPECT_EQ(FlagsSet(filter), 8);
}

TEST(TorxFileAttr, AnyFileAndAssign) {
  TorxFileAttr source;
  source.SetftFileAttr(0x12);
  TorxFileAttr target;
  target.Assign(source);
  EXPECT_TRUE(target.ftHidden());
  EXPECT_TRUE(target.ftDirectory());
  EXPECT_FALSE(target.ftArchive());
  EXPECT_EQ(target.ftFileAttr(), 0x12);
  target.SetftAnyFile(true);
  EXPECT_EQ(target.ftFileAttr(), 2367);
  target.SetftAnyFile(false);  // the flags were all set by "any file"
  EXPECT_EQ(target.ftFileAttr(), 2367);
  // Setting a flag True while others differ keeps "any file" off.
  TorxFileAttr mixed;
  mixed.SetftFileAttr(0x01);
  mixed.SetftHidden(true);
  EXPECT_FALSE(mixed.ftAnyFile());
  EXPECT_EQ(mixed.ftFileAttr(), 0x03);
}

// Assign copies the flags as they are, whatever the target held before.
TEST(TorxFileAttr, AssignCopiesTheFlagsAsTheyAre) {
  const struct {
    int32_t source;
    int32_t target;
    int32_t expected;
  } cases[] = {{0x02, 0x20, 0x02}, {0x20, 0x02, 0x20}, {0x01, 0x00, 0x01}, {0x00, 0x21, 2367}, {0x900, 0x08, 0x900}};
  for (const auto& c : cases) {
    TorxFileAttr source;
    source.SetftFileAttr(c.source);
    TorxFileAttr target;
    target.SetftFileAttr(c.target);
    target.Assign(source);
    EXPECT_EQ(target.ftFileAttr(), c.expected) << c.source << " into " << c.target;
    EXPECT_EQ(target.ftAnyFile(), source.ftAnyFile()) << c.source << " into " << c.target;
    EXPECT_EQ(FlagsSet(target), FlagsSet(source)) << c.source << " into " << c.target;
  }
}

TEST(TorxTimer, StopWithoutStartKeepsValue) {
  TorxTimer timer;
  timer.Stop();
  EXPECT_EQ(timer.ElapsedTime(), 0.0f);
  timer.Pause();
  timer.Resume();
  timer.Stop();
  EXPECT_EQ(timer.ElapsedTime(), 0.0f);
}

TEST(TorxTimer, StartStopMeasuresAndStopsOnce) {
  TorxTimer timer;
  timer.Start();
  timer.Pause();
  timer.Resume();
  timer.Stop();
  const float first = timer.ElapsedTime();
  EXPECT_GE(first, 0.0f);
  EXPECT_LT(first, 60.0f);
  timer.Stop();  // not running any more
  EXPECT_EQ(timer.ElapsedTime(), first);
}

namespace {

uint32_t gTick = 0;
uint32_t FakeTick() { return gTick; }

// Moves the fake clock, then calls one timer step.
void At(uint32_t tick, TorxTimer& timer, void (TorxTimer::*step)()) {
  gTick = tick;
  (timer.*step)();
}

}  // namespace

// The password search pauses the timer and an error reported inside it pauses
// again: the handlers' time counts once and the elapsed time never exceeds
// the wall time (it used to wrap to 4294966 s).
TEST(TorxTimer, NestedPausesCountOnce) {
  TorxTimer timer(FakeTick);
  At(1000, timer, &TorxTimer::Start);
  At(1200, timer, &TorxTimer::Pause);
  At(1300, timer, &TorxTimer::Pause);
  At(2300, timer, &TorxTimer::Resume);
  At(2400, timer, &TorxTimer::Resume);
  At(2500, timer, &TorxTimer::Stop);
  EXPECT_FLOAT_EQ(timer.ElapsedTime(), 0.3f);  // 1000..1200 and 2400..2500
}

// Stopped inside a pause, across the tick count's wrap: the open pause does
// not count and the difference is taken modulo 2^32.
TEST(TorxTimer, StopInsideAPauseAcrossTheTickWrap) {
  TorxTimer timer(FakeTick);
  At(0xFFFFFF00u, timer, &TorxTimer::Start);
  At(0x00000100u, timer, &TorxTimer::Pause);
  At(0x00000900u, timer, &TorxTimer::Stop);
  EXPECT_FLOAT_EQ(timer.ElapsedTime(), 0.512f);
  At(0x00000A00u, timer, &TorxTimer::Resume);  // no longer running: no effect
  EXPECT_FLOAT_EQ(timer.ElapsedTime(), 0.512f);
}

// The first call passes, then one per new tick value (a step back, or the
// wrap to 0, is a new value too); calls within a tick do not.
TEST(TTickGate, PassesOncePerTick) {
  TTickGate gate(FakeTick);
  const struct {
    uint32_t tick;
    bool passes;
  } steps[] = {{0, true},     {0, false},  {0, false}, {1, true},          {1, false},
               {16, true},    {15, true},  {15, false}, {0xFFFFFFFFu, true}, {0, true}};
  for (const auto& step : steps) {
    gTick = step.tick;
    EXPECT_EQ(gate.Pass(), step.passes) << "at tick " << step.tick;
  }
}
