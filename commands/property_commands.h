#pragma once
/// @file
/// Property commands: plain gets and sets, the ones with a rule of their own,
/// the pairs, the clock and the current-object mode. Gets return the value or
/// -1 (code in LinkLastError); sets return LinkSetValue's code.
#include <cstdint>

#include "link/camera_link.h"
#include "platform/export.h"
#include "platform/local_time.h"

PELOX_API_BEGIN
namespace pelox {

inline constexpr uint8_t PROPERTY_CLOCK = 2;
inline constexpr uint8_t PROPERTY_3 = 3;
inline constexpr uint8_t PROPERTY_OBJECT_NUMBER = 4;
inline constexpr uint8_t PROPERTY_OBJECT_SIZE = 12;
inline constexpr uint8_t PROPERTY_SECONDARY_SIZE = 13;
inline constexpr uint8_t PROPERTY_PAIR23_FIRST = 23;
inline constexpr uint8_t PROPERTY_PAIR23_SECOND = 24;
inline constexpr uint8_t PROPERTY_PAIR54_FIRST = 54;
inline constexpr uint8_t PROPERTY_PAIR54_SECOND = 38;
inline constexpr uint8_t PROPERTY_39 = 39;
inline constexpr uint8_t PROPERTY_40 = 40;
inline constexpr uint8_t PROPERTY_ENTRY = 56;
inline constexpr uint8_t PROPERTY_TEXT_ENTRY = 83;
inline constexpr uint8_t PROPERTY_109 = 109;
inline constexpr uint8_t PROPERTY_CURRENT_OBJECT_MODE = 128;

/// Values of property 3 from 1 to this are refused before anything is sent.
inline constexpr int32_t PROPERTY_3_REFUSED_MAX = 61;

/// The get of one property, not abortable.
struct PropertyGet {
  uint8_t property_id;
  /// The value, or -1 with the code in LinkLastError.
  int32_t operator()(CameraLink* link) const { return LinkGetValue(property_id, false, link); }
};

/// The get of one property whose range reaches 0xFFFFFFFF, with its code
/// apart from the value, so that every value reads as itself: LINK_OK with
/// `value` set, or LinkGetValueChecked's code with `value` left as it was.
struct PropertyGetChecked {
  uint8_t property_id;
  /// The value in `value`: LINK_OK, or the get's code.
  [[nodiscard]] LinkError operator()(uint32_t& value, CameraLink* link) const {
    return static_cast<LinkError>(LinkGetValueChecked(property_id, false, value, link));
  }
};

/// The old form of a get whose range reaches 0xFFFFFFFF: a value from 2^31
/// reads negative and 0xFFFFFFFF as a failure.
#define PELOX_WIDE_GET_DEPRECATED \
  [[deprecated("a value from 2^31 reads as a failure: use the get's Checked form")]]

/// The set of one property to a 32-bit value.
struct PropertySet {
  uint8_t property_id;
  /// Sets the property to `value`: LinkSetValue's code.
  int32_t operator()(uint32_t value, CameraLink* link) const {
    return LinkSetValue(property_id, value, link);
  }
};

/// The set of one property to a 16-bit value: the caller's value is taken as
/// a signed 16-bit number and sign-extended, so negative values are refused.
struct PropertySet16 {
  uint8_t property_id;
  /// Sets the property to `value` as a signed 16-bit number: LinkSetValue's code.
  int32_t operator()(int32_t value, CameraLink* link) const;
};

/// Where a property's role is unknown, its comment gives the values it takes:
/// a set outside them is refused with LINK_ERROR_INVALID_ARGUMENT before
/// anything is sent, an answer outside them is LINK_ERROR_UNEXPECTED.
inline constexpr PropertyGet CameraGet0{0};  ///< 0 to 4
inline constexpr PropertyGet CameraGet1{1};  ///< 0 to 52
/// The camera clock as raw seconds since 1970.
inline constexpr PropertyGet CameraGet2{PROPERTY_CLOCK};
inline constexpr PropertyGet CameraGet3{3};  ///< 0 to 600000000
inline constexpr PropertyGet CameraGet6{6};  ///< 0 to 2
inline constexpr PropertyGet CameraGet7{7};  ///< 0 to 4
inline constexpr PropertyGet CameraGet8{8};  ///< 0 to 0x7FFFFFFF
inline constexpr PropertyGet CameraGet9{9};  ///< 0 to 0x7FFFFFFF
/// The units of action 1's busy time; 0 to 0xFFFFFFFF.
PELOX_WIDE_GET_DEPRECATED inline constexpr PropertyGet CameraGet10{10};
inline constexpr PropertyGetChecked CameraGet10Checked{10};
PELOX_WIDE_GET_DEPRECATED inline constexpr PropertyGet CameraGet11{11};  ///< 0 to 0xFFFFFFFF
inline constexpr PropertyGetChecked CameraGet11Checked{11};
inline constexpr PropertyGet CameraGet19{19};                            ///< 0 to 5
inline constexpr PropertyGet CameraGet20{20};                            ///< 0 to 255
PELOX_WIDE_GET_DEPRECATED inline constexpr PropertyGet CameraGet28{28};  ///< 0 to 0xFFFFFFFF
inline constexpr PropertyGetChecked CameraGet28Checked{28};
inline constexpr PropertyGet CameraGet33{33};  ///< 0 to 3
inline constexpr PropertyGet CameraGet34{34};  ///< 0 to 6
inline constexpr PropertyGet CameraGet35{35};  ///< 0 to 7
inline constexpr PropertyGet CameraGet36{36};  ///< 0 to 7
inline constexpr PropertyGet CameraGet38{38};  ///< 0 to 3600
/// What action 8 sets first for some values; 0 to 0xFFFFFFFF.
PELOX_WIDE_GET_DEPRECATED inline constexpr PropertyGet CameraGet40{40};
inline constexpr PropertyGetChecked CameraGet40Checked{40};
inline constexpr PropertyGet CameraGet41{41};                            ///< 0 to 4
inline constexpr PropertyGet CameraGet42{42};                            ///< 0 to 2
inline constexpr PropertyGet CameraGet50{50};                            ///< 0 to 1
inline constexpr PropertyGet CameraGet51{51};                            ///< 0 to 2
inline constexpr PropertyGet CameraGet53{53};                            ///< 0 to 10
inline constexpr PropertyGet CameraGet55{55};                            ///< 0 to 256
PELOX_WIDE_GET_DEPRECATED inline constexpr PropertyGet CameraGet59{59};  ///< 0 to 0xFFFFFFFF
inline constexpr PropertyGetChecked CameraGet59Checked{59};
inline constexpr PropertyGet CameraGet65{65};                            ///< 0 to 0x7FFFFFFF
inline constexpr PropertyGet CameraGet68{68};                            ///< 0 to 2
inline constexpr PropertyGet CameraGet70{70};                            ///< 2 to 6
PELOX_WIDE_GET_DEPRECATED inline constexpr PropertyGet CameraGet72{72};  ///< 0 to 0xFFFFFFFF
inline constexpr PropertyGetChecked CameraGet72Checked{72};
inline constexpr PropertyGet CameraGet77{77};  ///< 0 to 4096
inline constexpr PropertyGet CameraGet78{78};  ///< 0 to 30000
inline constexpr PropertyGet CameraGet82{82};  ///< 6 to 120
/// The entry that data kinds 84 and 91 read; 0 to 0xFFFFFFFF.
PELOX_WIDE_GET_DEPRECATED inline constexpr PropertyGet CameraGet83{83};
inline constexpr PropertyGetChecked CameraGet83Checked{83};
inline constexpr PropertyGet CameraGet85{85};                              ///< 0 to 1600
inline constexpr PropertyGet CameraGet86{86};                              ///< 0 to 3000
inline constexpr PropertyGet CameraGet89{89};                              ///< 0 to 1
PELOX_WIDE_GET_DEPRECATED inline constexpr PropertyGet CameraGet103{103};  ///< 0 to 0xFFFFFFFF
inline constexpr PropertyGetChecked CameraGet103Checked{103};
inline constexpr PropertyGet CameraGet108{108};  ///< 0 to 1
inline constexpr PropertyGet CameraGet120{120};  ///< 0 to 1
inline constexpr PropertyGet CameraGet131{131};  ///< 0 to 65535

inline constexpr PropertySet CameraSet0{0};  ///< 0 to 4
inline constexpr PropertySet CameraSet1{1};  ///< 0 to 52
/// Sets the camera clock to seconds since 1970.
inline constexpr PropertySet CameraSetClock{PROPERTY_CLOCK};
inline constexpr PropertySet CameraSet6{6};    ///< 0 to 2
inline constexpr PropertySet CameraSet7{7};    ///< 0 to 4
inline constexpr PropertySet CameraSet8{8};    ///< 0 to 0x7FFFFFFF
inline constexpr PropertySet CameraSet9{9};    ///< 0 to 0x7FFFFFFF
inline constexpr PropertySet CameraSet19{19};  ///< 0 to 5
inline constexpr PropertySet CameraSet20{20};  ///< 0 to 255
inline constexpr PropertySet CameraSet30{30};  ///< 0 to 2
inline constexpr PropertySet CameraSet33{33};  ///< 0 to 3
inline constexpr PropertySet CameraSet41{41};  ///< 0 to 4
inline constexpr PropertySet CameraSet42{42};  ///< 0 to 2
inline constexpr PropertySet CameraSet50{50};  ///< 0 to 1
inline constexpr PropertySet CameraSet51{51};  ///< 0 to 2
inline constexpr PropertySet CameraSet52{52};  ///< 0 to 255
inline constexpr PropertySet CameraSet53{53};  ///< 0 to 10
inline constexpr PropertySet CameraSet68{68};  ///< 0 to 2
inline constexpr PropertySet CameraSet70{70};  ///< 2 to 6
inline constexpr PropertySet CameraSet72{72};  ///< 0 to 0xFFFFFFFF
inline constexpr PropertySet CameraSet76{76};  ///< only 0
inline constexpr PropertySet CameraSet77{77};  ///< 0 to 4096
inline constexpr PropertySet CameraSet78{78};  ///< 0 to 30000
inline constexpr PropertySet CameraSet82{82};  ///< 6 to 120
/// The entry that data kinds 84 and 91 read; 0 to 0xFFFFFFFF.
inline constexpr PropertySet CameraSet83{83};
inline constexpr PropertySet CameraSet85{85};    ///< 0 to 1600
inline constexpr PropertySet CameraSet89{89};    ///< 0 to 1
inline constexpr PropertySet CameraSet103{103};  ///< 0 to 0xFFFFFFFF
inline constexpr PropertySet CameraSet108{108};  ///< 0 to 1
inline constexpr PropertySet CameraSet120{120};  ///< 0 to 1

inline constexpr PropertySet16 CameraSet35{35};  ///< 0 to 7
inline constexpr PropertySet16 CameraSet36{36};  ///< 0 to 7
inline constexpr PropertySet16 CameraSet38{38};  ///< 0 to 3600
inline constexpr PropertySet16 CameraSet86{86};  ///< 0 to 3000

/// The camera offers two entry points that both set property 109 to 0 and
/// return the set's code.
int32_t CameraSet109(CameraLink* link);
/// As CameraSet109.
int32_t CameraClear109(CameraLink* link);

/// Refuses 1 to 61 and negative values with LINK_ERROR_INVALID_ARGUMENT,
/// sending nothing.
int32_t CameraSetProperty3(int32_t value, CameraLink* link);

/// 1 sets property 128 to 1 and turns current-object mode on when that
/// succeeds, returning the set's code. Any other value sets property 128 to
/// it whatever the outcome, turns the mode off and returns LINK_OK.
int32_t CameraSetCurrentObjectMode(int32_t value, CameraLink* link);

/// Pairs of 16-bit values: 23 and 24, 54 and 38. Both return LINK_OK or the
/// first failing set's or get's code: a set stops there, a get has stored
/// the first value before it reads the second.
int32_t CameraSetPair23(int32_t first, int32_t second, CameraLink* link);
/// Reads properties 23 and 24 into `first` and `second`.
int32_t CameraGetPair23(int16_t& first, int16_t& second, CameraLink* link);
/// Sets properties 54 and 38 to `first` and `second`.
int32_t CameraSetPair54(int32_t first, int32_t second, CameraLink* link);
/// Reads properties 54 and 38 into `first` and `second`.
int32_t CameraGetPair54(int16_t& first, int16_t& second, CameraLink* link);

/// The camera clock as the host's local time: LINK_OK, the get's code, or
/// LINK_ERROR_UNEXPECTED when the seconds cannot be converted. The time is
/// written only on success.
int32_t CameraGetClock(LocalTime& time, CameraLink* link);

// Names for the numbered commands whose property has a known role. The
// battery level, upload key, object sizes and current-object mode have
// commands of their own (CameraGetBatteryLevel, CameraGetUploadKey,
// CameraGetObjectSize, CameraSetCurrentObjectMode), the picture count is
// CameraCountObjects and the model's firmware family CameraGetFirmwareFamily.

/// The camera clock as raw seconds since 1970, or -1: CameraGet2.
inline constexpr PropertyGet CameraGetClockSeconds{PROPERTY_CLOCK};
/// The entry that data kinds 84 and 91 read, or -1: CameraGet83.
inline constexpr PropertyGet CameraGetTextEntry{PROPERTY_TEXT_ENTRY};
/// Selects the entry that data kinds 84 and 91 read: CameraSet83.
inline constexpr PropertySet CameraSetTextEntry{PROPERTY_TEXT_ENTRY};

}  // namespace pelox
PELOX_API_END
