// A stand-in for a kit function: external linkage, the same name in every
// probe plug-in, a different answer in each. A host that could make one
// plug-in call another's copy would see the wrong answer.
#include <QString>

QString probeKitCopy()
{
    return QStringLiteral(PROBE_NAME);
}
