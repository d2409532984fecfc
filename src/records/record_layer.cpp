// Record layer translation unit anchor; the record parse lives beside it.
namespace pagewright {}
