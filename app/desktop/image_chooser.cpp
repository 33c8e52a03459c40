#include "app/desktop/image_chooser.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QMimeDatabase>
#include <QSortFilterProxyModel>
#include <memory>

#include "app/desktop/desktop_texts.h"

namespace pelox {
namespace {

// A name filter cannot ask for a MIME type known only by content, and is
// case-sensitive in some platform dialogs: the chooser's own filter does
// both, on Qt's dialog.
class FirmwareFilter final : public QSortFilterProxyModel {
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;

  void ShowOnlyFirmware(bool only) {
    only_firmware_ = only;
    invalidateFilter();
  }

 protected:
  bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!only_firmware_ || files == nullptr) return true;
    const QModelIndex index = files->index(row, 0, parent);
    if (files->isDir(index)) return true;
    const QFileInfo file = files->fileInfo(index);
    return file.suffix().compare("bin", Qt::CaseInsensitive) == 0 ||
           QMimeDatabase().mimeTypeForFile(file).inherits(FIRMWARE_MIME_TYPE);
  }

 private:
  bool only_firmware_ = true;
};

}  // namespace

QFileDialog* NewImageChooser(QWidget* parent, const QString& directory) {
  auto* chooser = new QFileDialog(parent, TEXT_CHOOSE_IMAGE, directory);
  chooser->setFileMode(QFileDialog::ExistingFile);
  chooser->setOption(QFileDialog::HideNameFilterDetails);
  auto* filter = new FirmwareFilter(chooser);
  chooser->setProxyModel(filter);
  chooser->setNameFilters(
      {QString(TEXT_FIRMWARE_IMAGES) + " (*)", QString(TEXT_ALL_FILES) + " (*)"});
  QObject::connect(chooser, &QFileDialog::filterSelected, filter, [filter](const QString& name) {
    filter->ShowOnlyFirmware(name.startsWith(TEXT_FIRMWARE_IMAGES));
  });
  return chooser;
}

QString AskForImage(QWidget* parent, const QString& directory) {
  const std::unique_ptr<QFileDialog> chooser(NewImageChooser(parent, directory));
  if (chooser->exec() != QDialog::Accepted || chooser->selectedFiles().isEmpty()) return {};
  return chooser->selectedFiles().constFirst();
}

}  // namespace pelox
