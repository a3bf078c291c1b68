#include "shots/detection.h"

namespace tirelle::shots {

const char* StatusName(DetectStatus status) {
    switch (status) {
        case DetectStatus::Complete:
            return "complete";
        case DetectStatus::Cancelled:
            return "cancelled";
        case DetectStatus::NoVideo:
            return "no video";
        case DetectStatus::StillPicture:
            return "still picture";
        case DetectStatus::VariableFrameRate:
            return "variable frame rate";
        case DetectStatus::Damaged:
            return "damaged";
        case DetectStatus::Failed:
            break;
    }
    return "failed";
}

}  // namespace tirelle::shots
