#include "ui/main/CoreEvents.h"

#include <thread>

#include <QSignalSpy>
#include <QTest>

#include "ui/main/ActivityModel.h"

namespace {

TActivityEntry Entry(TActivityEntryId id, const char* status)
{
    TActivityEntry entry;
    entry.Id = id;
    entry.Status = status;
    return entry;
}

}  // namespace

/// The bridge between the core's threads and the window's models.
class CoreEventsTest : public QObject {
    Q_OBJECT

private slots:
    void changesOfOneGatherReachTheModelInTheirOrder()
    {
        TCoreEvents events;
        TActivityModel model;
        connect(&events, &TCoreEvents::ActivityBatch, &model, &TActivityModel::Apply);
        QSignalSpy batches(&events, &TCoreEvents::ActivityBatch);
        QSignalSpy files(&events, &TCoreEvents::FilesDirty);
        std::thread core([&] {
            events.ActivityEntryAppended(Entry(1, "Transfer: Sending file..."));
            events.ActivityEntryUpdated(Entry(1, "Transfer: Send file complete."));
            events.ActivityEntryAppended(Entry(2, "Transfer: Receiving file..."));
            events.ActivityEntryUpdated(Entry(2, "Error transfering!"));
            for (int i = 0; i < 3; ++i)
                events.FilesListChanged();
        });
        core.join();  // everything recorded before the GUI thread passes any of it on
        QTRY_COMPARE(model.rowCount(), 2);
        QCOMPARE(model.Entry(0).Status, std::string("Transfer: Send file complete."));
        QCOMPARE(model.Entry(1).Status, std::string("Error transfering!"));
        QCOMPARE(batches.count(), 1);
        QCOMPARE(files.count(), 1);
    }
};

QTEST_MAIN(CoreEventsTest)
#include "CoreEventsTest.moc"
