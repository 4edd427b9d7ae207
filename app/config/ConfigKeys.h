#pragma once

#include <QString>
#include <span>

class ConfigFile;

// The keys of the configuration file, one table per window, each key with the text box it
// fills and its default. The windows load and unload by these tables and the batch commands read
// their defaults from them, so no key name or default is written anywhere else.

struct ConfigKey {
    const char* name;                 // the key in section "CNC" as it is read
    const char* field;                // object name of the window's text box (or check box)
    const char* defaultText;          // the default (UTF-8); a file name when defaultPicture
    bool defaultPicture = false;      // the default is that picture, where the program finds it
    const char* writtenAs = nullptr;  // the spelling the value is written under, when another

    // The default as the window shows it.
    QString defaultValue() const;
    // ReadSetting of this key with its default. A value that ReadSetting cut (longer than 254
    // characters) ends in "…" unless it is a file name: a number cut short would read as
    // another number, and with the mark no number rule accepts it, so its field is refused.
    QString read(const ConfigFile& config) const;
    // WriteSetting of this key; false when the file could not be written.
    bool write(const ConfigFile& config, const QString& value) const;
    // The name the value is written under.
    QString writtenName() const { return QLatin1String(writtenAs ? writtenAs : name); }
};

// Machine settings: read at start-up into the program-wide settings, written by the settings
// window's "ОК" from its fields.
inline constexpr ConfigKey kRatioXKey{"SM_X_ratio", "Text1", "0.005"};
inline constexpr ConfigKey kRatioYKey{"SM_Y_ratio", "Text2", "0.005"};
inline constexpr ConfigKey kRatioZKey{"SM_Z_ratio", "Text3", "0.005"};
inline constexpr ConfigKey kPortKey{"Port", "Text4", "com1", false, "port"};
// Seconds a job waits for one answer of the controller before the link counts as lost.
inline constexpr ConfigKey kReplyTimeoutKey{"port_timeout", "Text5", "120"};
// Millimetres per unit of our own controller's probe sample (the surface map's heights).
inline constexpr ConfigKey kProbeScaleKey{"probe_mm_per_unit", "Text6", "0.01"};

// Milling window.
inline constexpr ConfigKey kMillWidthKey{"cncrez_width", "Text6", "200"};
inline constexpr ConfigKey kMillDepthKey{"cncrez_depth", "Text1", "10"};
inline constexpr ConfigKey kMillDiameterKey{"mill_diameter", "Text3", "3"};
inline constexpr ConfigKey kMillImageKey{"Image", "Text2", "ornament.bmp", true};

// Scanner window.
inline constexpr ConfigKey kScanPictureWidthKey{"scanner_picture_width", "Text6", "200"};
inline constexpr ConfigKey kScanPictureHeightKey{"scanner_picture_height", "Text7", "200"};
inline constexpr ConfigKey kScanAreaWidthKey{"scanner_area_width", "Text8", "100"};
inline constexpr ConfigKey kScanMeshWidthKey{"scanner_mesh_width", "Text3", "6"};
inline constexpr ConfigKey kScanMeshHeightKey{"scanner_mesh_height", "Text4", "5"};
// "Вернуть щуп в начало", a check box: "1" ticked, anything else clear.
inline constexpr ConfigKey kScanReturnKey{"scanner_return_to_start", "Check2", "0"};

// Engraving window.
inline constexpr ConfigKey kEngraveImageKey{"Etching_image", "Text1", "gepard2.jpg", true};
inline constexpr ConfigKey kEngraveWidthKey{"Etching_width", "Text6", "200"};

// Outlining window.
inline constexpr ConfigKey kOutlineImageKey{"Etching2_image", "Text1", "ornament.bmp", true};
inline constexpr ConfigKey kOutlineWidthKey{"Etching2_width", "Text6", "200"};

// What one window reads when it loads and writes when it unloads, each in its order. `picture`
// is the key of the picture the window loads (written only when a picture has been chosen);
// nullptr for a window without one.
struct WindowKeys {
    std::span<const ConfigKey* const> load;
    std::span<const ConfigKey* const> unload;
    const ConfigKey* picture = nullptr;
};

namespace configkeys_detail {
inline constexpr const ConfigKey* kMillLoad[] = {&kMillWidthKey, &kMillDepthKey, &kMillDiameterKey,
                                                 &kMillImageKey};
inline constexpr const ConfigKey* kMillUnload[] = {&kMillWidthKey, &kMillDepthKey,
                                                   &kMillDiameterKey};
inline constexpr const ConfigKey* kScanLoad[] = {&kScanPictureWidthKey, &kScanPictureHeightKey,
                                                 &kScanAreaWidthKey,    &kScanMeshWidthKey,
                                                 &kScanMeshHeightKey,   &kScanReturnKey};
inline constexpr const ConfigKey* kScanUnload[] = {&kScanMeshWidthKey,    &kScanMeshHeightKey,
                                                   &kScanPictureWidthKey, &kScanPictureHeightKey,
                                                   &kScanAreaWidthKey,    &kScanReturnKey};
inline constexpr const ConfigKey* kEngraveLoad[] = {&kEngraveImageKey, &kEngraveWidthKey};
inline constexpr const ConfigKey* kEngraveUnload[] = {&kEngraveWidthKey};
inline constexpr const ConfigKey* kOutlineLoad[] = {&kOutlineWidthKey, &kOutlineImageKey};
inline constexpr const ConfigKey* kOutlineUnload[] = {&kOutlineWidthKey};
}  // namespace configkeys_detail

inline constexpr WindowKeys kMillingWindowKeys{configkeys_detail::kMillLoad,
                                               configkeys_detail::kMillUnload, &kMillImageKey};
inline constexpr WindowKeys kScannerWindowKeys{configkeys_detail::kScanLoad,
                                               configkeys_detail::kScanUnload};
inline constexpr WindowKeys kEngravingWindowKeys{
    configkeys_detail::kEngraveLoad, configkeys_detail::kEngraveUnload, &kEngraveImageKey};
inline constexpr WindowKeys kOutliningWindowKeys{
    configkeys_detail::kOutlineLoad, configkeys_detail::kOutlineUnload, &kOutlineImageKey};
