// attendu: 1 (5:6)
// Type inconnu : position du nom du type.
program unknown_type;
var
  c: TCapture;
begin
  showmessage('jamais');
end.
