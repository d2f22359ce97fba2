// attendu: 2 (8:26)
// Racine cubique d'un nombre négatif par Power : EInvalidOp non rattrapée, à la position de l'appel.
program power_negative_root;
var gain, third: Double;
begin
  gain := -8;
  third := 1 / 3;
  showmessage(FloatToStr(Power(gain, third)));
end.
