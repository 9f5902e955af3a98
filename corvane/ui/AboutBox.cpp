#include "AboutBox.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "CommandIcons.h"
#include "SupportPage.h"

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("AboutBox", text); }

struct Credit {
    const char* What;
    const char* Licence;
};

// What the program ships or links, with the licence it comes under.
const Credit kData[] = {
    {"Places and addresses: GeoNames (www.geonames.org)", "Creative Commons Attribution 4.0 (CC BY 4.0)"},
    {"Drawn world map: Natural Earth, packaged as world-atlas", "public domain; world-atlas under the ISC licence"},
    {"Map tiles: \u00a9 OpenStreetMap contributors (openstreetmap.org/copyright)",
     "Open Database License (ODbL); tiles are fetched, not shipped"},
};
const Credit kLibraries[] = {
    {"Qt 6", "GNU LGPL version 3"},
    {"Exiv2", "GNU GPL version 2 or later"},
    {"libjpeg-turbo", "IJG licence and modified BSD licence"},
    {"LibTIFF", "LibTIFF licence (BSD-like)"},
    {"libxml2", "MIT licence"},
    {"C++ REST SDK", "MIT licence"},
    {"OpenSSL", "Apache License 2.0"},
    {"zlib", "zlib licence"},
};

QString List(const Credit* credits, std::size_t count)
{
    QString html = QStringLiteral("<ul style=\"margin-left: 12px; -qt-list-indent: 0;\">");
    for (std::size_t i = 0; i < count; ++i)
        html += QStringLiteral("<li>%1: %2</li>").arg(Tr(credits[i].What).toHtmlEscaped(),
                                                      Tr(credits[i].Licence).toHtmlEscaped());
    return html + QStringLiteral("</ul>");
}

}  // namespace

QString AboutBox::Licences()
{
    return QStringLiteral("<p><b>%1</b></p>%2<p><b>%3</b></p>%4")
        .arg(Tr("Data"), List(kData, std::size(kData)), Tr("Libraries"), List(kLibraries, std::size(kLibraries)));
}

QMessageBox* AboutBox::Create(QWidget* parent)
{
    auto* box = new QMessageBox(parent);
    box->setWindowTitle(Tr("About Corvane"));
    box->setIconPixmap(CommandIcons::Program().pixmap(64, 64));
    box->setTextFormat(Qt::RichText);
    box->setText(QStringLiteral("<h3>%1</h3><p>%2</p>")
                     .arg(Tr("Corvane"), Tr("Version ") + QStringLiteral(CORVANE_VERSION)));
    const auto link = [](const QString& url) { return QStringLiteral("<a href=\"%1\">%1</a>").arg(url.toHtmlEscaped()); };
    box->setInformativeText(
        QStringLiteral("<p>%1</p><p>%2 %3<br>%4 %5</p>%6")
            .arg(Tr("The main purpose of this software is to provide means for viewing, manipulating and wiping GPS "
                    "metadata which are embedded in pictures. It reads and writes the geotag of JPEG and TIFF "
                    "pictures, looks up the address where a picture was taken, stamps coordinates, addresses and "
                    "titles onto pictures, and exports the metadata as CSV.")
                     .toHtmlEscaped(),
                 Tr("Home:"), link(CSupportPage::HomeUrl()), Tr("Problems and ideas:"), link(CSupportPage::IssuesUrl()),
                 Licences()));
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}
