// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every key of the settings store with the value it stands for while unset, in one place, so
// that no two readers can disagree on a name or a default. Plain constants: the emulator reads
// them too, and so does every library above the line. The phone server's keys are still in
// withrottle/ and belong here as well.

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

} // namespace Settings
