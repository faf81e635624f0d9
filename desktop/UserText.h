// The mark of a user's text written where no translation can be looked up
// (plain C++, or a constant shown later): the text stays what it is, in the
// program's source language, and the translation tools collect it under
// `context`, one per module. Where it is shown, the module's code gives it
// to QCoreApplication::translate with the same context.
#pragma once

#define LUMIDRA_TEXT(context, text) text
