#ifndef PLCSIM_CIPTAGSERVICE_H
#define PLCSIM_CIPTAGSERVICE_H

// The Message Router of the simulated NJ/NX: Read Tag (4C) and Write Tag
// (4D) by symbolic path, and Get_Attribute_Single (0E) of the controller
// object (class C4 instance 0: 64 mode, 65 error status, 66 model).
//
// Statuses it answers with: 04 a path it cannot parse, 05 no such variable,
// an unpublished one, or an index outside the array; 08 another service; 0F
// a write to a constant; 11 a reply above the message limit; 13 / 15 write
// data short / long (13 also for an unpadded 1-byte write when the pad is
// required); 20 a count of 0, a range past the array's end, or a write of
// another type than the variable's; 14 an unknown controller attribute.
// BOOL reads: one element as value + forced flag, more bit-packed in 16-bit
// words. STRING reads: one element as length + bytes; more in full size,
// bytes swapped in pairs, no length.

#include <QByteArray>

namespace plcsim {

class CipVariables;

struct CipServiceOptions
{
    int replyLimit = 502;
    bool padRequired = false; // 1-byte writes need the pad byte after odd counts
};

// The reply to one Message Router request; `wrote` tells whether a write ran.
QByteArray cipExecute(CipVariables &vars, const QByteArray &request, const CipServiceOptions &options,
                      bool *wrote);

// A reply of `service` | 0x80 with `status` (and an additional status when
// `additional` >= 0) and no data.
QByteArray cipStatusReply(quint8 service, quint8 status, int additional = -1);

} // namespace plcsim

#endif
