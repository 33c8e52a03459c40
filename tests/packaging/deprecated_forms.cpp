// A program written against the old value-or-failure forms: it still
// builds, and the compiler warns once for each old form it calls.
#include <pelox/pelox.h>

int main() {
  pelox::CameraLink* link = pelox::LinkCreate();
  int32_t sum = pelox::CameraGet10(link) + pelox::CameraGet11(link) + pelox::CameraGet28(link) +
                pelox::CameraGet40(link) + pelox::CameraGet59(link) + pelox::CameraGet72(link) +
                pelox::CameraGet83(link) + pelox::CameraGet103(link);
  sum += pelox::CameraGetObjectSize(1, link) + pelox::CameraGetSecondarySize(1, link) +
         pelox::CameraGetSoundSize(1, link) + pelox::CameraGetRunningHours(link) +
         pelox::CameraAction1(link) + pelox::CameraAction8(3, 0, link);
  (void)pelox::LinkDelete(link);
  return sum == 0 ? 0 : 1;
}
