// Which image the window starts with, and what its chooser lists, on Qt's
// offscreen platform with the firmware image's MIME entry as packaged.
#include "app/desktop/image_choice.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QTest>
#include <memory>
#include <string>

#include "app/desktop/image_chooser.h"
#include "tests/app/firmware_files.h"
#include "tools/firmware_sample.h"

namespace pelox {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Writes each file: a firmware image where the name says "image", else text.
void WriteFiles(const std::filesystem::path& folder, const QStringList& names) {
  for (const QString& name : names) {
    const std::filesystem::path path = folder / name.toStdString();
    if (name.startsWith("image")) {
      test::WriteFile(path, SampleFirmwareImage("v517-1.10", SamplePayload(100)));
    } else if (name.startsWith("flash")) {  // text with the header's keys near its top
      test::WriteFile(path, Bytes("#!/bin/sh\n# LENGTH=100 VER=v517-1.10 SUM=5\r\nexit 0\n"));
    } else if (name.endsWith("/")) {
      std::filesystem::create_directory(path);
    } else {
      test::WriteFile(path, Bytes("LENGTH=1 \nVER=v517-1.10 \nSUM=3\r\n"));
    }
  }
}

QStringList Listed(QFileDialog* chooser) {
  auto* view = chooser->findChild<QListView*>("listView");
  QStringList names;
  for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
    names.append(view->model()->index(row, 0, view->rootIndex()).data().toString());
  }
  names.sort();
  return names;
}

}  // namespace

class ImageChoiceTest : public QObject {
  Q_OBJECT

 private slots:
  void ChoosesTheDefaultImage_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("named");
    QTest::addColumn<QString>("chosen");  // empty: the user is asked
    QTest::newRow("exact") << QStringList{"Firmware.bin"} << ""
                           << "Firmware.bin";
    QTest::newRow("any-case") << QStringList{"FIRMWARE.BIN", "notes.txt"} << ""
                              << "FIRMWARE.BIN";
    QTest::newRow("two-match") << QStringList{"Firmware.bin", "firmware.BIN"} << ""
                               << "";
    QTest::newRow("near-names") << QStringList{"Firmware.bin.txt", "Firmware", "xFirmware.bin"}
                                << ""
                                << "";
    QTest::newRow("named") << QStringList{"Firmware.bin"} << "other.bin"
                           << "other.bin";
  }
  void ChoosesTheDefaultImage() {
    QFETCH(QStringList, files);
    QFETCH(QString, named);
    QFETCH(QString, chosen);
    const test::ScratchDirectory scratch;
    WriteFiles(scratch.Path(), files);
    const std::optional<std::string> image = ChooseImage(named.toStdString(), scratch.Path());
    const std::filesystem::path expected = named.isEmpty()
                                               ? scratch.Path() / chosen.toStdString()
                                               : std::filesystem::path(named.toStdString());
    QCOMPARE(image.has_value(), !chosen.isEmpty());
    if (image) QCOMPARE(QString::fromStdString(*image), QString::fromStdString(expected));
  }

  // Firmware images by content whatever their name, *.bin in any case;
  // text with the header's keys is no firmware image.
  void ChooserListsFirmwareImages_data() {
    QTest::addColumn<bool>("all_files");
    QTest::addColumn<QStringList>("listed");
    const QStringList firmware = {"FIRMWARE.BIN", "folder", "image.dat", "old.Bin"};
    QTest::newRow("firmware") << false << firmware;
    QTest::newRow("all") << true << (firmware + QStringList{"flash", "settings.conf"});
  }
  void ChooserListsFirmwareImages() {
    QFETCH(bool, all_files);
    QFETCH(QStringList, listed);
    listed.sort();
    const test::ScratchDirectory scratch;
    WriteFiles(scratch.Path(),
               {"FIRMWARE.BIN", "folder/", "image.dat", "old.Bin", "flash", "settings.conf"});
    const std::unique_ptr<QFileDialog> chooser(
        NewImageChooser(nullptr, QString::fromStdString(scratch.Path().string())));
    chooser->show();
    if (all_files) {
      auto* types = chooser->findChild<QComboBox*>("fileTypeCombo");
      types->setFocus();
      QTest::keyClick(types, Qt::Key_Down);
    }
    QTRY_COMPARE(Listed(chooser.get()), listed);
  }
};

}  // namespace pelox

QTEST_MAIN(pelox::ImageChoiceTest)
#include "image_choice_test.moc"
