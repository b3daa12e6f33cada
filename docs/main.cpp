// SPDX-License-Identifier: GPL-3.0-or-later
#include "ManualPdf.h"

#include <QGuiApplication>

#include <cstdio>

// taktora-manual SOURCE.html OUTPUT.pdf
int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: taktora-manual SOURCE.html OUTPUT.pdf\n");
        return 2;
    }
    QString error;
    if (!ManualPdf::render(args.at(1), args.at(2), error)) {
        std::fprintf(stderr, "taktora-manual: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
