#pragma once

// Conversion between stored 32-bit stamps and the program's date-time values, the
// system time zone and the PDA offset, and the byte swaps of the big-endian fields.

#include "history/Options.h"

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace vimosync {

// Day 25569 of the date-time scale is 1970-01-01.
constexpr double kUnixEpochDay = 25569.0;

// Seconds since 1970 to a local date-time value. Version 1 (PDA) stamps are universal
// time: the options' PdaOffset is taken off and their ZmtDateOffset days added.
double StampToTime(std::int32_t stamp, int version, const TReadOptions& options);
// The reverse, rounded to the nearest second (halves to even), kept as 32 bits (a time
// outside the stamp range wraps: writers check it with StampOfTime first).
std::int32_t TimeToStamp(double t, int version, const TReadOptions& options);
// The stamp of a time, false when the time has no stamp (outside the 32-bit range).
bool StampOfTime(double t, int version, const TReadOptions& options, std::int32_t& stamp);

// Seconds added to a stamp of the version to give local seconds since 1970 (the PDA
// and date offsets for version 1, else 0): StampToTime(s, v, o) is TimeOfSeconds(s + this).
long long StampShiftSeconds(int version, const TReadOptions& options);

// Local seconds since 1970 to the date-time value and back (to the nearest second).
// Every reader makes its times through TimeOfSeconds, so one second is one value.
double TimeOfSeconds(long long seconds);
bool SecondsOfTime(double t, long long& seconds);

std::uint16_t SwapBytes16(std::uint32_t value);
std::uint32_t SwapBytes32(std::uint32_t value);

// "+hh:nn" (or "+hh:nn:ss") of an offset in days; "-" for a negative offset.
QString FormatOffset(double days, bool withSeconds = false);
// "+hh[:nn[:ss]]" or "-..." to days; empty or unreadable text gives 0.
double ParseOffset(const QString& text);

// The system zone: the name in force now and the base bias in minutes
// (UTC = local time + bias). A zone without daylight-saving rules reports its
// standard name and bias like any other.
void ReadZone(QString& name, int& bias);
// The PDA offset that follows the system zone: its base bias in days.
double ZonePdaOffset();

// Date-time values and calendar dates. The value is the wall time itself; the
// QDateTime carries it in UTC so that no zone rule shifts it.
QDateTime ToDateTime(double t);
double FromDateTime(const QDateTime& dt);
double EncodeDateTime(const QDate& date, const QTime& time);

} // namespace vimosync
