#include "ui/main/ActivityModel.h"

#include <QSignalSpy>
#include <QTest>

namespace {

using TKind = TActivityEvent::TKind;

TActivityEvent Appended(TActivityEntryId id, const char* status = "Send error: Unauthorised!")
{
    TActivityEntry entry;
    entry.Id = id;
    entry.Icon = aiError;
    entry.FileName = "x.bin";
    entry.RemoteIP = "10.0.0.1";
    entry.Status = status;
    return {TKind::Appended, entry, {}};
}

TActivityEvent Updated(TActivityEntryId id, const char* status)
{
    TActivityEvent event = Appended(id, status);
    event.Kind = TKind::Updated;
    return event;
}

TActivityEvent Dropped(std::vector<TActivityEntryId> ids)
{
    return {TKind::Dropped, {}, std::move(ids)};
}

std::vector<TActivityEntryId> Ids(const TActivityModel& model)
{
    std::vector<TActivityEntryId> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids.push_back(model.Entry(row).Id);
    return ids;
}

}  // namespace

/// The Activity Log's rows follow batches of the log's changes exactly.
class ActivityModelTest : public QObject {
    Q_OBJECT

private slots:
    void appendsDropsAndUpdatesLandInOrder()
    {
        TActivityModel model;
        model.Apply({Appended(1), Appended(2, "Transfer: Sending file..."), Appended(3), Appended(4)});
        model.Apply({Dropped({1, 3}), Appended(5), Updated(2, "Transfer: Send file complete.")});
        QCOMPARE(Ids(model), (std::vector<TActivityEntryId>{2, 4, 5}));
        QCOMPARE(model.Entry(0).Status, std::string("Transfer: Send file complete."));
    }

    void changesToEntriesOfTheSameBatchApplyBeforeTheyShow()
    {
        TActivityModel model;
        model.Apply({Appended(1), Appended(2), Updated(2, "Error transfering!"), Dropped({1}), Appended(3),
                     Dropped({3})});
        QCOMPARE(Ids(model), (std::vector<TActivityEntryId>{2}));
        QCOMPARE(model.Entry(0).Status, std::string("Error transfering!"));
    }

    void clearingForgetsWhatCameBefore()
    {
        TActivityModel model;
        model.Apply({Appended(1), Appended(2)});
        model.Apply({Appended(3), {TKind::Cleared, {}, {}}, Appended(4), Updated(2, "late")});
        QCOMPARE(Ids(model), (std::vector<TActivityEntryId>{4}));
    }

    void floodBatchCostsOneInsertionAndOneRemoval()
    {
        TActivityModel model;
        std::vector<TActivityEvent> first;
        for (TActivityEntryId id = 1; id <= 1000; ++id)
            first.push_back(Appended(id));
        model.Apply(first);
        std::vector<TActivityEvent> flood;
        for (TActivityEntryId id = 1001; id <= 1500; ++id) {
            flood.push_back(Appended(id));
            flood.push_back(Dropped({id - 1000}));
        }
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        model.Apply(flood);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(model.rowCount(), 1000);
        QCOMPARE(model.Entry(0).Id, TActivityEntryId(501));
    }

    void columnsShowEscapedClientText()
    {
        TActivityModel model;
        TActivityEvent event = Appended(1);
        event.Entry.FileName = "evil\nname";
        event.Entry.DateTime = "08/12/26 10:00:00";
        model.Apply({event});
        QCOMPARE(model.data(model.index(0, TActivityModel::FileNameColumn), Qt::DisplayRole).toString(),
                 QStringLiteral("evil\\x0Aname"));
        QCOMPARE(model.data(model.index(0, TActivityModel::DateTimeColumn), Qt::DisplayRole).toString(),
                 QStringLiteral("08/12/26 10:00:00"));
        QVERIFY(!model.data(model.index(0, TActivityModel::IconColumn), Qt::DisplayRole).isValid());
        QVERIFY(!model.data(model.index(0, TActivityModel::IconColumn), Qt::DecorationRole).isNull());
    }
};

QTEST_MAIN(ActivityModelTest)
#include "ActivityModelTest.moc"
