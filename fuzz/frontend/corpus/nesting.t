x = (((((((((((((((((((((1)))))))))))))))))))));
// comment only
//!kest omp parallel
/*!kest omp for */ for i=1 to 3 { }$
