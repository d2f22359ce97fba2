// attendu: 1 (7:8)
// Chaîne non terminée sur sa ligne : position de l'apostrophe ouvrante.
program unterminated_string;
var
  s: string;
begin
  s := 'sans fin;
  showmessage(s);
end.
