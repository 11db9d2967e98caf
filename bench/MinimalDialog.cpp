// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up reference: the smallest Qt dialog program, opened and closed at once.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    new QLabel(QStringLiteral("Minimal"), &dialog);
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    return dialog.exec() == QDialog::Accepted ? 0 : 1;
}
