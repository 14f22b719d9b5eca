// "Load Sample/Example File".
#include "form/Form1.h"
#include "core/Procedure.h"
#include "core/ReportText.h"
#include "listfiles/SampleList.h"
#include "textview/TextArea.h"

void Form1::PushButton5_Click()
{
    Procedure p(m_errorReport, Qualifier::PushButton5_Click);
    p.run(100, [&] { Text1->replaceText(sampleListText()); });
}
