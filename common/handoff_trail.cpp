// Pre-backup hand-off, settings program's answer with its failures recorded in the error trail.
// Kept apart from handoff_answer.cpp so that programs without an error trail can deliver answers.
#include "errors.h"
#include "handoff_answer.h"

namespace {

struct DeliveryFailurePoint {
    const wchar_t* id;
    unsigned number;
};

const DeliveryFailurePoint kDeliveryFailurePoints[] = {
    {L"UAC-SSM1", 1080},   // DeliveryOpenBlock
    {L"UAC-SSM2", 1083},   // DeliveryMapBlock
    {L"UAC-SSM3", 1086},   // DeliveryUnmapBlock
};

} // namespace

int sendHandoffAnswer(const wchar_t* key, int answer)
{
    DWORD code = 0;
    int failure = deliverHandoffAnswer(key, answer, &code);
    if (failure == DeliveryDone) return 0;
    const DeliveryFailurePoint& point = kDeliveryFailurePoints[failure - 1];
    trailRecord(&g_errorTrail, point.id, point.number, code);
    return -1;
}
