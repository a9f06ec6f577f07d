/* Our own declarations of the host calls that the plug-in gateway uses, so
   that the plug-ins build and run without a MATLAB-compatible host.  The
   implementation is own_host.cpp; only these calls exist. */
#ifndef WAVEPROB_OWN_HOST_MEX_H
#define WAVEPROB_OWN_HOST_MEX_H

#include <stddef.h>

typedef struct own_host_array mxArray;
typedef size_t mwSize;
typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

#ifdef __cplusplus
extern "C" {
#endif

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

/* Ends the plug-in call; the message goes back to the caller unchanged. */
void mexErrMsgTxt(const char* message);
void mexErrMsgIdAndTxt(const char* id, const char* format, ...);

int mxIsDouble(const mxArray* a);
int mxIsSingle(const mxArray* a);
int mxIsLogical(const mxArray* a);
int mxIsChar(const mxArray* a);
int mxIsCell(const mxArray* a);
int mxIsStruct(const mxArray* a);
int mxIsNumeric(const mxArray* a);
int mxIsComplex(const mxArray* a);
int mxIsSparse(const mxArray* a);
const char* mxGetClassName(const mxArray* a);
size_t mxGetM(const mxArray* a);
size_t mxGetN(const mxArray* a);
size_t mxGetNumberOfElements(const mxArray* a);
double* mxGetPr(const mxArray* a);
double mxGetScalar(const mxArray* a);
mxArray* mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag);
void mxDestroyArray(mxArray* a);

#ifdef __cplusplus
}
#endif

#endif
