#include "app/errorreport.h"

#include "convert/applicationerror.h"

void ShowApplicationError(tp::Dialogs& dialogs, const QString& description, const QString& location,
                          int line)
{
    dialogs.messageBox(tp::ApplicationErrorText(description, location, line),
                       QStringLiteral("Application Error"), tp::MessageButtons::Ok,
                       tp::MessageIcon::Warning);
}
