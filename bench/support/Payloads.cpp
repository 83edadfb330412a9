#include "Payloads.h"

#include <QStringBuilder>

namespace bench {

QByteArray ticket(int i)
{
    const bool valid = i % 2 == 0;
    return QByteArrayLiteral("{\"transaction\":{\"result\":") + (valid ? "true" : "false")
        + QByteArrayLiteral(",\"type\":0,\"ticketId\":\"T-") + QByteArray::number(100000 + i)
        + QByteArrayLiteral("\",\"fareProductName\":\"Single ticket 90'\",\"passengerTypeName\":\"Adult\",")
        + (valid ? QByteArrayLiteral("") : QByteArrayLiteral("\"denyReason\":{\"id\":101},"))
        + QByteArrayLiteral("\"barcode\":{\"fromStopGroupName\":\"Harbour\",\"toStopGroupName\":\"University\","
                            "\"transferRemainingMin\":75}}}");
}

const QByteArray OnlineStatus = QByteArrayLiteral(
    "{\"service\":true,\"device\":{\"rfid\":{\"state\":1,\"active\":true,\"error\":\"\",\"slots\":[true],\"sams\":[]},"
    "\"barcode\":{\"active\":true,\"enabled\":false}},\"obu\":{\"vehicleUuid\":\"BUS-1042\"},"
    "\"route\":{\"axisName\":\"Line 5\"},"
    "\"state\":{\"init\":false,\"hasRfid\":true,\"hasObu\":true,\"hasNtp\":true,\"hasRoute\":true}}");

QByteArray boardStatus(bool ignition)
{
    return QByteArrayLiteral("{\"service\":true,\"device\":{\"active\":true,\"ignition\":")
        + (ignition ? "true" : "false")
        + QByteArrayLiteral(",\"poleId\":\"POLE-07\",\"temperature\":41.5,\"voltage\":27.6,\"uptime\":3600}}");
}

} // namespace bench
