// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every key of the settings store with the value it stands for while unset, in one place, so
// that no two readers can disagree on a name or a default. Plain constants: the emulator reads
// them too, and so does every library above the line.

namespace Settings {

struct Key
{
    const char* name;
    const char* fallback;
};

// QSettings(Organization, Application): ~/.config/KORADIN/KORADIN.conf, or the registry.
inline constexpr char Organization[] = "KORADIN";
inline constexpr char Application[] = "KORADIN";

// The program's own group, and the one the hosted start ("koradin") takes its port from.
inline constexpr char Section[] = "Taktora";
inline constexpr char HostedSection[] = "KORADIN";
// COM name -> device path ("COM3" = "/dev/ttyACM0"), outside Windows.
inline constexpr char PortsGroup[] = "Ports";

// "COM1" to "COM24", or "NUL" for simulation mode.
inline constexpr Key SignalOutputTo{"SignalOutputTo", "NUL"};
// The programming tab's "automatisch in Konfiguration übernnehmen", "1" or "0".
inline constexpr Key AutoConfig{"AutoConfig", "1"};

// One per throttle and per accessory panel, the panel's index in two digits after the prefix
// ("Slider02", "AccessoryAdress00"); unset, panel i holds the number i + 1.
inline constexpr char SliderPrefix[] = "Slider";
inline constexpr char AccessoryAdressPrefix[] = "AccessoryAdress";

// The folder a file dialog last went to, for each kind of file; unset, the documents folder.
inline constexpr Key DecoderSheetFolder{"DecoderSheetFolder", ""};
inline constexpr Key TrafficFolder{"TrafficFolder", ""};
inline constexpr Key RosterFolder{"RosterFolder", ""};

// The phone server: on or off, where it listens, and what a phone may do.
inline constexpr Key WiThrottleEnabled{"WiThrottle", "0"};
inline constexpr Key WiThrottlePort{"WiThrottlePort", "12090"};
inline constexpr Key WiThrottleAddress{"WiThrottleAddress", ""}; // empty: every network
inline constexpr Key WiThrottleApproval{"WiThrottleApproval", "1"};
inline constexpr Key WiThrottleDevices{"WiThrottleDevices", ""}; // approved ids, comma-separated
inline constexpr Key WiThrottleAllowPower{"WiThrottleAllowPower", "1"};
inline constexpr Key WiThrottleAllowTurnouts{"WiThrottleAllowTurnouts", "1"};
inline constexpr Key WiThrottleMaxSpeed{"WiThrottleMaxSpeed", "100"};
inline constexpr Key WiThrottleMaxConnections{"WiThrottleMaxConnections", "32"};
// The browser throttle: on or off and its port; it listens where the phones' server does and
// follows the phones' rights.
inline constexpr Key WebThrottleEnabled{"WebThrottle", "0"};
inline constexpr Key WebThrottlePort{"WebThrottlePort", "12080"};

} // namespace Settings
