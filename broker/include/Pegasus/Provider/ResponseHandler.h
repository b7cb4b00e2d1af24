//%/////////////////////////////////////////////////////////////////////////////
// Provider/ResponseHandler.h: the response handlers live with the common
// types; this header lets provider code include them from either place.
//%/////////////////////////////////////////////////////////////////////////////
#ifndef Pegasus_Provider_ResponseHandler_h
#define Pegasus_Provider_ResponseHandler_h

#include <Pegasus/Common/ResponseHandler.h>

#endif
