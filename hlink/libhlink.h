#ifndef LIBHLINK_H
#define LIBHLINK_H

// The Host Link driver as the host sees it: the common tag handling of
// DriveFacade and connection texts over the FINS core (FinsTransfer), whose
// commands go out in FA frames over the Host Link line (HLinkFinsLink).

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

#include "CLabelVariable.h"
#include "DriveController.h"
#include "DriveDiagnostics.h"
#include "DriveFacade.h"
#include "FinsControllerQueries.h"
#include "FinsTransfer.h"
#include "HLinkCodec.h"
#include "HLinkFinsLink.h"
#include "HLinkFrame.h"
#include "HLinkLog.h"
#include "HostLinkLines.h"
#include "ValueEntryPoints.h"

// Its value members (ValueEntryPoints) work on digit values (0..15, four per
// PLC word): set_variant_bool(bitOffset, digits, count) gives bits bitOffset
// .. bitOffset + count - 1; the Wset_variant_ members return 0 when appended,
// 1 when the value holds no list of the type with `count` elements.
class LibHLink : public DriveFacade,
                 public DriveDiagnostics,
                 public DriveController,
                 public ValueEntryPoints<HLinkCodec::EntryPoints>
{
    Q_OBJECT
    Q_INTERFACES(DriveDiagnostics DriveController)

public:
    LibHLink();
    ~LibHLink() override;

    // CDriveBaseClass operations this driver has of its own.
    int ConnectDrive(QString connection) override;
    int DisConnectDrive() override;
    int DestroyFree() override;

    // The diagnostics face: the unit is in every failure's reason.
    QString checkConnectionText(const QString &text) const override;
    QVariantMap addressing() const override;
    Outcome lastOutcome() const override { return m_core.lastOutcome(); }
    quint64 droppedAnswers() const override { return m_link.droppedAnswers(); }

    // The controller face: FINS controller commands in FA frames.
    Outcome readIdentity(ControllerIdentity *out) override { return FinsControllerQueries(m_core).readIdentity(out); }
    Outcome readStatus(ControllerStatus *out) override { return FinsControllerQueries(m_core).readStatus(out); }
    Outcome readClock(QDateTime *out) override { return FinsControllerQueries(m_core).readClock(out); }
    Outcome writeClock(const QDateTime &time) override { return FinsControllerQueries(m_core).writeClock(time); }

    // PLC words that `count` elements of `type` cover (Bool from bit 0).
    int getBytelen(DataType type, int count);

    // Read and write steps behind the common frame.
    CLabelVariable Read_data(int wordAddress, DataType type, int count, int bitNumber, int area, QString address);
    CLabelVariable Write_D(int wordAddress, DataType type, int count, CLabelVariable tagValue, int area,
                           QString address);
    CLabelVariable Write_CIO(int wordAddress, DataType type, int count, CLabelVariable tagValue, int bitNumber,
                             int bitArea, QString address);

protected:
    Outcome readWords(int area, int word, int count, const QString &tag, Words *out) override;
    Outcome writeWords(int area, int word, const Words &words, const QString &tag) override;
    Outcome writeBits(int bitArea, int word, int bit, const QByteArray &flags, const QString &tag) override;
    void setDebug(bool on) override;

private:
    // The Host Link unit number every frame carries (SetConnectPar).
    int unit() const { return int(connectParameter()); }

    // What a Host Link frame carries at most (HLinkFrame), restored on each connect.
    static FinsLimits frameLimits()
    {
        return FinsLimits{HLinkFrame::MaxReadWords, HLinkFrame::MaxWriteWords, HLinkFrame::MaxBitItems};
    }

    HostLinkLines m_lines{QStringLiteral("lib[HLink]")};
    HLinkLog m_log{m_lines};
    HLinkFinsLink m_link{m_lines, m_log, [this] { return unit(); }};
    FinsTransfer m_core{m_link, m_log};
    QVariantMap m_where; // port and baud, or address and port, of the last ConnectDrive
};

#endif // LIBHLINK_H
