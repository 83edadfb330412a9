#include "FuzzDriver.h"
#include "LTXGv1Card.h"

// A tag or card as the RFID service reports it, read back the way the card
// issuer and the screens use it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::init();
    const QJsonObject object = fuzz::jsonObject(data, size);

    const Tag::Ptr tag = Tag::fromJson(object);
    (void)tag->toJson();
    (void)Tag::typeToStr(tag->type());

    const LTXGv1Card::Ptr card = LTXGv1Card::fromJson(object);
    (void)card->toJson();
    (void)card->status();
    (void)card->customsId();
    if (const LTXGv1Card::Usage *last = card->lastUsage())
        (void)last->toJson();
    for (const LTXGv1Card::Usage &usage : card->usageLogs())
        (void)usage.toJson();
    card->incrUsageCounter(1);
    card->addUsageLog(QStringLiteral("entry"), QStringLiteral("ID-1"), QStringLiteral("L-1"));
    (void)card->data();

    // The card is read again after a write.
    card->setData(object.value(QStringLiteral("data")).toObject());
    (void)card->toJson();
    return 0;
}
