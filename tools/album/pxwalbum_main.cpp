// The album program: the first part of every album file. It reads the images appended to its
// own file.

#include "album_command.h"
#include "album_viewer.h"

#include <QApplication>
#include <QMessageBox>
#include <iostream>

int main(int argc, char** argv) {
    if (argc == 2 && std::string_view(argv[1]) == "--version")
        return std::cout << "pxwalbum " PXW_VERSION "\n" ? 0 : 1;
    using namespace pxw::zip;
    const AlbumCommand command = parseAlbumCommand(std::vector<std::string>(argv + 1, argv + argc));
    const std::filesystem::path self = ownAlbumFile();
    if (command.kind != AlbumCommand::Kind::view || !displayAvailable())
        return runAlbumCommand(command, self, std::cout, std::cerr);

    QApplication application(argc, argv);
    const std::filesystem::path shown = albumShownPath(self);
    const QString name = QString::fromStdString(shown.filename().string());
    AlbumReader album;
    if (Status opened = album.open(self, shown.string()); !opened) {
        std::cerr << "pxwalbum: " << opened.message() << '\n';
        QMessageBox::warning(nullptr, name, QString::fromStdString(opened.message()));
        return albumExitFailed;
    }
    AlbumViewer viewer(album, name);
    viewer.show();
    return application.exec();
}
