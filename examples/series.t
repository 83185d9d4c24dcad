// Expansions of the two-body problem in powers of the eccentricity e, with the mean anomaly M
// carried by its exponential E = exp(i*M): cos M = (E + E^-1)/2, sin M = (E - E^-1)/(2i).
// Every product keeps only the powers of e up to 6 (the truncation {e, 6}).
_language = "en";
_modenum = NUMRATMP;          // exact rational coefficients
crevar e, M;
E = exp(i*M);
_tronc = {e, 6};
cosM = (E + E^(-1))/2;
sinM = (E - E^(-1))/(2*i);

// a/r = 1/(1 - e cos M) as a first model, and its square
ar = (1 - e*cosM)^(-1);
size(ar);
ar2 = ar*ar;
size(ar2);

// sqrt(1 - e^2), and the check that its square gives 1 - e^2 back
eta = (1 - e^2)^(1/2);
check = eta*eta - (1 - e^2);

// cos^2 M + sin^2 M = 1 exactly, whatever the truncation
one = cosM*cosM + sinM*sinM;

// The degree in e, and in the exponential of the angle (the variable that E holds)
max(ar2, e);
max(ar2, _EXM1);
min(ar2, _EXM1);

// a/r factorised in e
_affdist = 0;
ar;
