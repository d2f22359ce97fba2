// attendu: 2 (8:26)
// L'erreur d'une routine standard est signalée à l'appel, pas à l'opérateur de ses arguments.
program routine_error_at_call;
var
  gain: Double;
begin
  gain := -2;
  showmessage(FloatToStr(Sqrt(gain - 1 / 3)));
end.
