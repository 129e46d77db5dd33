#include "fpsim/clock.h"

#include <ctime>

namespace fpsim {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

int daysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return days[m - 1];
}

}  // namespace

std::int64_t toEpochSeconds(const DateTime& t) {
  // Months out of range carry into years first, then days carry naturally.
  std::int64_t y = t.year;
  std::int64_t m0 = t.month - 1;
  y += m0 >= 0 ? m0 / 12 : (m0 - 11) / 12;
  m0 = ((m0 % 12) + 12) % 12;
  const std::int64_t days = daysFromCivil(y, static_cast<int>(m0 + 1), 1) + (t.day - 1);
  return days * 86400 + t.hour * 3600LL + t.minute * 60LL + t.second;
}

DateTime fromEpochSeconds(std::int64_t s) {
  std::int64_t days = s >= 0 ? s / 86400 : (s - 86399) / 86400;
  std::int64_t rest = s - days * 86400;
  DateTime t;
  civilFromDays(days, t.year, t.month, t.day);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

bool isValid(const DateTime& t) {
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= daysInMonth(t.year, t.month) &&
         t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 &&
         t.second <= 59;
}

DateTime SystemClock::now() const {
  std::time_t raw = std::time(nullptr);
  std::tm local{};
  localtime_r(&raw, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

DateTime ManualClock::now() const {
  std::lock_guard lock(mutex_);
  return now_;
}

void ManualClock::set(DateTime t) {
  std::lock_guard lock(mutex_);
  now_ = t;
}

void ManualClock::advance(std::int64_t seconds) {
  std::lock_guard lock(mutex_);
  now_ = fromEpochSeconds(toEpochSeconds(now_) + seconds);
}

}  // namespace fpsim
