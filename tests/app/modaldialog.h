#pragma once
// Looks at a real modal dialog without blocking the test on it.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace quorvel::test
{

// Runs inspect on the modal dialog that open() shows, then closes it (rejected).
template <class Dialog, class Open>
void withModal(const std::function<void(Dialog *)> &inspect, Open open)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            seen = true;
            inspect(dialog);
        }
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *other = qobject_cast<QDialog *>(widget); other && other->isVisible())
                other->reject();
        }
    });
    open();
    EXPECT_TRUE(seen) << "no modal dialog came up";
}

} // namespace quorvel::test
