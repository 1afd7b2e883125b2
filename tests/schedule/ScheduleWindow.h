#pragma once

#include "app/Form1.h"
#include "tests/support/FeedDocuments.h"
#include "tests/support/FixedClock.h"
#include "tests/support/LoopbackFeedServer.h"
#include "tests/support/RecordingSpeechEngine.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

// The real window on a temporary documents folder, with a loopback feed server that answers a
// whole document and a recording speech engine.
struct ScheduleWindow {
    QTemporaryDir documents;
    QTemporaryDir runtime;
    LoopbackFeedServer feed;
    std::shared_ptr<FixedClock> clock = std::make_shared<FixedClock>();
    RecordingSpeechEngine* engine = nullptr;
    std::unique_ptr<Form1> form;

    explicit ScheduleWindow(std::shared_ptr<const Clock> windowClock = {}) {
        feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
        Form1Deps deps;
        deps.documentsDir = documents.path();
        deps.runtimeDir = runtime.path();
        deps.feedHost = feed.host();
        deps.createSpeechEngine = [this] {
            auto created = std::make_unique<RecordingSpeechEngine>();
            engine = created.get();
            return std::unique_ptr<SpeechEngine>(std::move(created));
        };
        deps.clock = windowClock ? std::move(windowClock) : clock;
        deps.quit = [] {};
        form = std::make_unique<Form1>(std::move(deps));
        form->Form_Load();
    }

    QString dataDir() const { return form->dataDir(); }

    void setBoxes(const QString& hour, const QString& minute, const QString& period) {
        form->Combo1->setEditText(hour);
        form->Combo2->setEditText(minute);
        form->Combo3->setEditText(period);
    }

    void add(const QString& hour, const QString& minute, const QString& period) {
        setBoxes(hour, minute, period);
        form->Command1->click();
    }
};

// Answers the next message box once it is shown, after handing it to inspect. Gives up after
// about five seconds, so a box that never comes fails the test instead of hanging it.
inline void answerNextMessageBox(std::function<void(QMessageBox*)> inspect, int triesLeft = 500) {
    QTimer::singleShot(10, [inspect = std::move(inspect), triesLeft]() mutable {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            inspect(box);
            if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->reject();
            return;
        }
        if (triesLeft > 0)
            answerNextMessageBox(std::move(inspect), triesLeft - 1);
    });
}
