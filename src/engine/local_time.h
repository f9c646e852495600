// A local date and time reading, as the engine and the screenshots take it.
#pragma once

namespace ot {

struct LocalTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
};

}  // namespace ot
