#pragma once
// The file chooser for a firmware image: firmware images first, known by
// their MIME type (their header, whatever their name) or by *.bin in any case.
#include <QString>

class QFileDialog;
class QWidget;

namespace pelox {

// The type the firmware image's MIME entry registers.
inline constexpr const char* FIRMWARE_MIME_TYPE = "application/x-pelox-firmware";

// A chooser opened on `directory`, its first filter the firmware images;
// the caller owns it (through `parent` when given).
QFileDialog* NewImageChooser(QWidget* parent, const QString& directory);

// Asks for an image; empty when the user cancels.
QString AskForImage(QWidget* parent, const QString& directory);

}  // namespace pelox
