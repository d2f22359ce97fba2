// attendu: 2 (8:5)
// Exception attrapée puis relancée par « raise; » et jamais rattrapée :
// position du raise qui l'a levée la première fois.
program reraised;
begin
  try
    showmessage('avant');
    raise Exception.Create('relancee');
  except
    on E: Exception do
    begin
      showmessage('vue : ' + E.Message);
      raise;
    end;
  end;
end.
