a=1; b=2;
if (a==b) then {
 c=1;
} else {
 c=2;
}
;
"x""y
z";
/* a /* b */
 c */ d;
