// attendu: 2 (6:12)
// StrToFloat d'un texte qui n'est pas un réel (virgule décimale) : EConvertError non rattrapée.
program strtofloat_invalid;
var x: Double;
begin
  x := 1 + StrToFloat('1,5');
  showmessage(FloatToStr(x));
end.
